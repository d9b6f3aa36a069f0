# 32-bit Windows: the deliverable setup.exe. The posix thread model gives
# GoogleTest the standard mutex; -static keeps its runtime inside the program.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KLAWISZ_TRIPLET i686-w64-mingw32)
set(CMAKE_C_COMPILER ${KLAWISZ_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KLAWISZ_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KLAWISZ_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KLAWISZ_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
