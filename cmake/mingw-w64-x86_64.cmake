# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-builds for 64-bit Windows with Debian's mingw-w64 (the posix-threads
# flavour, which std::thread and std::mutex need).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(EVM_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${EVM_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${EVM_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${EVM_MINGW_TRIPLE}-windres)

# Libraries and headers come from the cross root only, so nothing of the host
# (its hidapi, its GoogleTest) is ever picked up.
set(CMAKE_FIND_ROOT_PATH /usr/${EVM_MINGW_TRIPLE})
# A Qt built for mingw-w64 (for the GUI), given with -DEVM_WINDOWS_QT=DIR.
if(EVM_WINDOWS_QT)
  list(APPEND CMAKE_FIND_ROOT_PATH ${EVM_WINDOWS_QT})
  list(APPEND CMAKE_PREFIX_PATH ${EVM_WINDOWS_QT})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_LIBDIR} /usr/${EVM_MINGW_TRIPLE}/lib/pkgconfig)

# Lets ctest run the test programs under Wine.
find_program(EVM_WINE NAMES wine64 wine)
if(EVM_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${EVM_WINE})
endif()
