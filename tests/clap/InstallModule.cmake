# ctest -P script: installs the clap component into a scratch DESTDIR with a scratch HOME, once with the
# per-user prefix and once with a system one, and checks where the module arrives.
# Arguments: -DBUILD_DIR=... -DSCRATCH=...
file(REMOVE_RECURSE "${SCRATCH}")
set(ENV{DESTDIR} "${SCRATCH}/root")
set(ENV{HOME} "/home/clap-install-test")
set(module "QRV warmGlow.clap")

execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --component clap
                        --prefix /home/clap-install-test/.local RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "install failed: ${rc}")
endif()
if(NOT EXISTS "${SCRATCH}/root/home/clap-install-test/.clap/${module}")
  message(FATAL_ERROR "a per-user prefix did not install into ~/.clap")
endif()

execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --component clap --prefix /opt/qrv
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "install failed: ${rc}")
endif()
if(NOT EXISTS "${SCRATCH}/root/opt/qrv/lib/clap/${module}")
  message(FATAL_ERROR "a system prefix did not install into PREFIX/lib/clap")
endif()
file(REMOVE_RECURSE "${SCRATCH}")
