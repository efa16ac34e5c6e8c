#pragma once
// The system's own backends of the ports the firmware tests run on real
// files with: the library loader and the private temporary files.

#ifdef _WIN32
#include "platform/windows/win_library.h"
#include "platform/windows/win_temp_file.h"
#else
#include "platform/linux/dl_library.h"
#include "platform/linux/posix_temp_file.h"
#endif

namespace cvk::test {

#ifdef _WIN32
using SystemLibraryLoader = WinLibraryLoader;
using SystemTempFiles = WinTempFiles;
#else
using SystemLibraryLoader = DlLibraryLoader;
using SystemTempFiles = PosixTempFiles;
#endif

}  // namespace cvk::test
