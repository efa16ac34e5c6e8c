# Stand-ins for the chip maker's programming library, each in a folder of
# its own under the file name the program loads: one with every entry point,
# one lacking some. CVK_STANDIN_PATH_PREFIX goes before the folders the test
# program is told (a drive under Wine).
set(_isp_standin_dir ${CMAKE_CURRENT_BINARY_DIR}/isp-standin)
if(WIN32)
  set(_standin_prefix "")
  set(_standin_suffix ".dll")
else()
  set(_standin_prefix "lib")
  set(_standin_suffix ".so")
endif()
foreach(_variant IN ITEMS full missing)
  add_library(isp_standin_${_variant} MODULE ${CMAKE_CURRENT_SOURCE_DIR}/isp_standin/isp_standin.cpp)
  set_target_properties(isp_standin_${_variant} PROPERTIES
    PREFIX "${_standin_prefix}" OUTPUT_NAME AtJniIsp SUFFIX "${_standin_suffix}"
    LIBRARY_OUTPUT_DIRECTORY ${_isp_standin_dir}/${_variant})
  if(WIN32)
    # A DLL that needs no runtime DLLs beside it.
    target_link_options(isp_standin_${_variant} PRIVATE -static)
  endif()
  target_link_libraries(isp_standin_${_variant} PRIVATE cvk_warnings)
  add_dependencies(cvk_tests isp_standin_${_variant})
endforeach()
target_compile_definitions(isp_standin_missing PRIVATE CVK_STANDIN_LEAVE_OUT)
target_compile_definitions(cvk_tests PRIVATE
  CVK_ISP_STANDIN_DIR="${CVK_STANDIN_PATH_PREFIX}${_isp_standin_dir}/full"
  CVK_ISP_STANDIN_MISSING_DIR="${CVK_STANDIN_PATH_PREFIX}${_isp_standin_dir}/missing")
