# The generated files resources/resource_list.inc names, in its order, as
# the generator writes them (icon_N.ico, scene_N.sss, wav_N.wav, and
# jpeg_N.jpg for pictures and flags):
# brisane_resource_files(OUT) sets OUT to their names and makes the list a
# configure dependency of the calling folder.
function(brisane_resource_files out)
  set(list_file ${CMAKE_SOURCE_DIR}/resources/resource_list.inc)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${list_file})
  file(STRINGS ${list_file} entries REGEX "^BRISANE_[A-Z]+\\(")
  set(kinds ICON SCENE WAV JPEG FLAG)
  set(patterns icon_@.ico scene_@.sss wav_@.wav jpeg_@.jpg jpeg_@.jpg)
  set(names)
  foreach(entry IN LISTS entries)
    string(REGEX MATCH "^BRISANE_([A-Z]+)\\(([0-9]+)" matched "${entry}")
    list(FIND kinds ${CMAKE_MATCH_1} kind)
    if(kind LESS 0)
      message(FATAL_ERROR "resource_list.inc: unknown kind in '${entry}'")
    endif()
    list(GET patterns ${kind} pattern)
    string(REPLACE "@" ${CMAKE_MATCH_2} name ${pattern})
    list(APPEND names ${name})
  endforeach()
  set(${out} ${names} PARENT_SCOPE)
endfunction()
