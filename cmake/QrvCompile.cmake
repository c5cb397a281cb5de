# Warnings, sanitizers and the helper every library target uses.
add_compile_options(-Wall -Wextra -Wimplicit-fallthrough)
# GCC's shadowing and value-changing conversion checks: the tree builds clean with them, so they stay on.
# (clang's -Wconversion also checks sign changes, which the tree does not promise.)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  add_compile_options($<$<COMPILE_LANGUAGE:CXX>:-Wshadow> $<$<COMPILE_LANGUAGE:CXX>:-Wconversion>)
endif()
if(QRV_WERROR)
  add_compile_options(-Werror)
endif()

if(QRV_SANITIZE)
  add_compile_options(-fsanitize=${QRV_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${QRV_SANITIZE})
endif()

# Windows: the C++ runtime, libgcc and winpthreads go inside every program and module, so that they need
# nothing beside Windows' own libraries.
if(WIN32)
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()

# qrv_add_library(NAME SOURCES... [DEPS ...]): one static library per folder of the layout;
# headers are included by their path from the repository root ("dsp/ParameterSet.h").
function(qrv_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
  if(ARG_DEPS)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  endif()
  if(ARG_PRIVATE_DEPS)
    target_link_libraries(${name} PRIVATE ${ARG_PRIVATE_DEPS})
  endif()
endfunction()

# qrv_plugin_module(TARGET EXPORTS): a module a host loads. It exports only what the version script
# EXPORTS (beside the caller's CMakeLists.txt) names: every symbol is hidden, --exclude-libs hides the static
# libraries' and the script the rest; the link fails on anything unresolved rather than at a host's dlopen.
# The C++ runtime goes inside, so that a host built against another runtime loads it; sanitized builds keep
# the shared runtime the sanitizer interposes on.
# On Windows the module is a DLL exporting exactly its functions marked __declspec(dllexport) (QRV_EXPORT):
# with one such mark the linker exports nothing else, --exclude-libs keeps the static libraries' symbols
# out as well, and the runtime is inside already (the global -static).
function(qrv_plugin_module target exports)
  set(map "${CMAKE_CURRENT_SOURCE_DIR}/${exports}")
  set_target_properties(${target} PROPERTIES
    PREFIX ""
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  if(WIN32)
    target_link_options(${target} PRIVATE -Wl,--exclude-libs,ALL -Wl,--no-undefined)
    return()
  endif()
  set_target_properties(${target} PROPERTIES LINK_DEPENDS "${map}")
  target_link_options(${target} PRIVATE -Wl,--exclude-libs,ALL -Wl,--no-undefined "-Wl,--version-script=${map}")
  if(NOT QRV_SANITIZE)
    target_link_options(${target} PRIVATE -static-libstdc++ -static-libgcc)
  endif()
endfunction()

# Rebuilds of unchanged sources are free where ccache is installed (worktrees share its cache when
# CCACHE_BASEDIR covers them); CI works without it.
find_program(QRV_CCACHE ccache)
if(QRV_CCACHE AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
  set(CMAKE_C_COMPILER_LAUNCHER ${QRV_CCACHE})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${QRV_CCACHE})
endif()
