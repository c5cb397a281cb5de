# Install-time helpers (install(SCRIPT) before the code that calls them).

# The folder a plug-in installs into: `override` when set (relative to the prefix unless absolute); the
# plug-in format's per-user folder ~/<user_folder> of the user who installs while the prefix is the
# per-user one (~/.local, as `make install` uses); else PREFIX/lib/<system_folder>, where every user's
# host looks. Decided at install time, so HOME and --prefix are those of the install command.
function(qrv_plugin_destination out override user_folder system_folder)
  if(NOT "${override}" STREQUAL "")
    set(destination "${override}")
    if(NOT IS_ABSOLUTE "${destination}")
      set(destination "${CMAKE_INSTALL_PREFIX}/${destination}")
    endif()
  elseif(DEFINED ENV{HOME} AND CMAKE_INSTALL_PREFIX STREQUAL "$ENV{HOME}/.local")
    set(destination "$ENV{HOME}/${user_folder}")
  else()
    set(destination "${CMAKE_INSTALL_PREFIX}/lib/${system_folder}")
  endif()
  set(${out} "${destination}" PARENT_SCOPE)
endfunction()

# Records beside an installed plug-in binary which manual its prefix holds, "<binary>.manual" with one
# absolute path, so that the plug-in opens that manual when the user's settings name none (a system-wide
# install by root stores no user's settings). The configuration menu reads it (presets/SettingsStore.h,
# RecordedManualPath).
function(qrv_install_manual_record binary)
  set(record "$ENV{DESTDIR}${binary}.manual")
  message(STATUS "Installing: ${record}")
  file(WRITE "${record}" "${CMAKE_INSTALL_PREFIX}/share/doc/qrv-warmglow/index.html\n")
endfunction()
