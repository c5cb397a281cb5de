# ctest -P script: installs the vst3 component into a scratch DESTDIR with a scratch HOME, once with the
# per-user prefix and once with a system one, and checks where the bundle arrives, whole.
# Arguments: -DBUILD_DIR=... -DSCRATCH=...
file(REMOVE_RECURSE "${SCRATCH}")
set(ENV{DESTDIR} "${SCRATCH}/root")
set(ENV{HOME} "/home/vst3-install-test")
set(module "QRV warmGlow.vst3/Contents/x86_64-linux/QRV warmGlow.so")
set(info "QRV warmGlow.vst3/Contents/Resources/moduleinfo.json")

execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --component vst3
                        --prefix /home/vst3-install-test/.local RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "install failed: ${rc}")
endif()
foreach(file "${module}" "${info}")
  if(NOT EXISTS "${SCRATCH}/root/home/vst3-install-test/.vst3/${file}")
    message(FATAL_ERROR "a per-user prefix did not install ${file} into ~/.vst3")
  endif()
endforeach()
file(READ "${SCRATCH}/root/home/vst3-install-test/.vst3/${module}.manual" record)
if(NOT record STREQUAL "/home/vst3-install-test/.local/share/doc/qrv-warmglow/index.html\n")
  message(FATAL_ERROR "the module's manual record reads '${record}'")
endif()

execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --component vst3 --prefix /opt/qrv
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "install failed: ${rc}")
endif()
foreach(file "${module}" "${info}")
  if(NOT EXISTS "${SCRATCH}/root/opt/qrv/lib/vst3/${file}")
    message(FATAL_ERROR "a system prefix did not install ${file} into PREFIX/lib/vst3")
  endif()
endforeach()
file(REMOVE_RECURSE "${SCRATCH}")
