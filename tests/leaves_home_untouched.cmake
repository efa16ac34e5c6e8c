# Runs the test program with HOME, the XDG folders and the runtime folder all
# pointing into an empty stand-in for a real user's home, then fails if
# anything appeared there. The test program moves every test into a home of
# its own, so nothing should.
#
#   cmake -DCVK_TESTS=<cvk_tests> -DSENTINEL_ROOT=<folder> [-DFILTER=<gtest filter>] -P leaves_home_untouched.cmake

if(NOT CVK_TESTS OR NOT SENTINEL_ROOT)
  message(FATAL_ERROR "CVK_TESTS and SENTINEL_ROOT are required")
endif()
if(NOT FILTER)
  set(FILTER "*")
endif()

# A folder of its own per run, so runs side by side do not share one.
string(RANDOM LENGTH 12 ALPHABET 0123456789abcdef token)
set(sentinel "${SENTINEL_ROOT}/${token}")
file(REMOVE_RECURSE "${sentinel}")
file(MAKE_DIRECTORY "${sentinel}/home" "${sentinel}/run")
file(CHMOD "${sentinel}/run" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)

execute_process(
  COMMAND ${CMAKE_COMMAND} -E env
    "HOME=${sentinel}/home"
    "XDG_CONFIG_HOME=${sentinel}/home/.config"
    "XDG_DATA_HOME=${sentinel}/home/.local/share"
    "XDG_STATE_HOME=${sentinel}/home/.local/state"
    "XDG_CACHE_HOME=${sentinel}/home/.cache"
    "XDG_RUNTIME_DIR=${sentinel}/run"
    QT_QPA_PLATFORM=offscreen
    "${CVK_TESTS}" "--gtest_filter=${FILTER}" --gtest_brief=1
  RESULT_VARIABLE rc
  OUTPUT_VARIABLE out
  ERROR_VARIABLE out)

file(GLOB_RECURSE left LIST_DIRECTORIES true "${sentinel}/home/*" "${sentinel}/run/*")

# Without the closing summary the run ended early and proves nothing about
# the tests it never reached. Failing tests are reported by their own entries.
string(REGEX MATCH "\\[==========\\] [0-9]+ tests? from [0-9]+ test suites? ran" summary "${out}")
if(NOT summary)
  message(FATAL_ERROR "the test program did not run to the end (exit ${rc}):\n${out}")
endif()
if(left)
  list(JOIN left "\n  " listing)
  message(FATAL_ERROR "the tests wrote into the user's home:\n  ${listing}")
endif()
file(REMOVE_RECURSE "${sentinel}")
message(STATUS "${summary}; nothing written to the home (test program exit ${rc})")
