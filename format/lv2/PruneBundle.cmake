# Removes every binary but KEEP from the bundle folder BUNDLE_DIR: a build tree from an earlier layout
# keeps binaries the bundle no longer has, and the install copies the whole folder.
file(GLOB binaries "${BUNDLE_DIR}/*.so")
foreach(binary IN LISTS binaries)
  get_filename_component(name "${binary}" NAME)
  if(NOT name STREQUAL KEEP)
    file(REMOVE "${binary}")
  endif()
endforeach()
