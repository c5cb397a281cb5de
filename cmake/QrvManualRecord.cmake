# Install-time helper (install(SCRIPT) before the code that calls it): records beside an installed
# plug-in binary which manual its prefix holds, "<binary>.manual" with one absolute path, so that the
# plug-in opens that manual when the user's settings name none (a system-wide install by root stores no
# user's settings). The configuration menu reads it (presets/SettingsStore.h, RecordedManualPath).
function(qrv_install_manual_record binary)
  set(record "$ENV{DESTDIR}${binary}.manual")
  message(STATUS "Installing: ${record}")
  file(WRITE "${record}" "${CMAKE_INSTALL_PREFIX}/share/doc/qrv-warmglow/index.html\n")
endfunction()
