# Cross build for 64-bit Windows with Debian's mingw-w64, POSIX threads
# variant (std::thread and std::mutex need it). Test programs run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(_mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${_mingw}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# One self-contained .exe each: no runtime DLLs to copy next to it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
find_program(CVK_WINE NAMES wine)
if(CVK_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CVK_WINE})
endif()
