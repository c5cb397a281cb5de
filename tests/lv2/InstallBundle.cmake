# ctest -P script: installs the lv2 component into a scratch DESTDIR with a scratch HOME and checks that the
# whole bundle arrives in ~/.lv2 for the per-user prefix, and under the prefix for a system-wide one (where
# every user's host looks), never in the installing user's home. Arguments: -DBUILD_DIR=... -DSCRATCH=...
set(ENV{HOME} "/home/lv2-install-test")
function(check_install prefix expected unexpected)
  file(REMOVE_RECURSE "${SCRATCH}")
  set(ENV{DESTDIR} "${SCRATCH}/root")
  execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --component lv2 --prefix "${prefix}"
                  RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "install with prefix ${prefix} failed: ${rc}")
  endif()
  set(bundle "${SCRATCH}/root${expected}/QRV warmGlow.lv2")
  foreach(f manifest.ttl warmglow.ttl presets.ttl ui.ttl warmglow.so warmglow_ui.so warmglow_core.so
            warmglow_core.so.manual)
    if(NOT EXISTS "${bundle}/${f}")
      message(FATAL_ERROR "prefix ${prefix}: missing after install: ${bundle}/${f}")
    endif()
  endforeach()
  if(EXISTS "${SCRATCH}/root${unexpected}")
    message(FATAL_ERROR "prefix ${prefix}: installed into ${unexpected} too")
  endif()
endfunction()
check_install("/home/lv2-install-test/.local" "/home/lv2-install-test/.lv2" "/home/lv2-install-test/.local/lib/lv2")
check_install("/usr/local" "/usr/local/lib/lv2" "/home/lv2-install-test/.lv2")
file(REMOVE_RECURSE "${SCRATCH}")
