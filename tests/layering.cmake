# The tray protocols stay behind unitTrayAccess: outside ui/tray/ (and the
# tray's own protocol tests), no source includes a header of ui/tray/ but
# unitTrayAccess.h. Run as: cmake -DSRC=<tree> -P layering.cmake
file(GLOB_RECURSE sources RELATIVE ${SRC}
     ${SRC}/ui/*.cpp ${SRC}/ui/*.h ${SRC}/accounting/*.cpp ${SRC}/accounting/*.h
     ${SRC}/connection/*.cpp ${SRC}/connection/*.h ${SRC}/platform/*.cpp ${SRC}/platform/*.h
     ${SRC}/bench/*.cpp ${SRC}/tests/*.cpp ${SRC}/tests/*.h)
set(bad "")
foreach(f IN LISTS sources)
  if(f MATCHES "^ui/tray/" OR f STREQUAL "tests/ui/test_dbus_menu.cpp")
    continue()
  endif()
  file(STRINGS ${SRC}/${f} lines REGEX "^#include \"ui/tray/")
  foreach(l IN LISTS lines)
    if(NOT l MATCHES "ui/tray/unitTrayAccess\\.h\"")
      list(APPEND bad "${f}: ${l}")
    endif()
  endforeach()
  # Nothing outside the tray speaks the tray's D-Bus protocols by name either.
  file(STRINGS ${SRC}/${f} names REGEX "StatusNotifierItem|DBusMenuExporter|com\\.canonical\\.dbusmenu")
  if(names AND f MATCHES "^(ui|accounting|connection|platform)/")
    list(APPEND bad "${f}: names a tray protocol")
  endif()
endforeach()
if(bad)
  list(JOIN bad "\n" text)
  message(FATAL_ERROR "Tray protocol headers used outside ui/tray/:\n${text}")
endif()
