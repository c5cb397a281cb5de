// The bundle's shared library, warmglow_core.so, has no code of its own: CMakeLists.txt builds it from
// whole static libraries (the code with process-wide state), and the plug-in and UI binaries link it.
