# Removes every binary but those listed in KEEP from the bundle folder BUNDLE_DIR: a build tree from an
# earlier layout keeps binaries the bundle no longer has, and the install copies the whole folder.
cmake_minimum_required(VERSION 3.25)
file(GLOB binaries "${BUNDLE_DIR}/*.so")
foreach(binary IN LISTS binaries)
  get_filename_component(name "${binary}" NAME)
  if(NOT name IN_LIST KEEP)
    file(REMOVE "${binary}")
  endif()
endforeach()
