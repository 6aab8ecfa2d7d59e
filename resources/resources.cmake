# The pictures, sounds and icon that brisane.rc embeds are written by the
# native asset generator (tools/assets, run by ./run build) into
# BRISANE_ASSETS_DIR; resource_list.inc names them. Make the resource script
# depend on them, so the program is re-linked whenever the generator writes
# new bytes.
set(BRISANE_RESOURCE_LIST ${CMAKE_SOURCE_DIR}/resources/resource_list.inc)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${BRISANE_RESOURCE_LIST})
file(STRINGS ${BRISANE_RESOURCE_LIST} entries REGEX "^BRISANE_[A-Z]+\\(")
set(BRISANE_GENERATED_RESOURCES)
foreach(entry IN LISTS entries)
  string(REGEX MATCH "^BRISANE_([A-Z]+)\\(([0-9]+)" matched "${entry}")
  set(number ${CMAKE_MATCH_2})
  if(CMAKE_MATCH_1 STREQUAL "ICON")
    list(APPEND BRISANE_GENERATED_RESOURCES icon_${number}.ico)
  elseif(CMAKE_MATCH_1 STREQUAL "SCENE")
    list(APPEND BRISANE_GENERATED_RESOURCES scene_${number}.sss)
  elseif(CMAKE_MATCH_1 STREQUAL "WAV")
    list(APPEND BRISANE_GENERATED_RESOURCES wav_${number}.wav)
  else()
    list(APPEND BRISANE_GENERATED_RESOURCES jpeg_${number}.jpg)
  endif()
endforeach()

set(missing)
set(generated_paths)
foreach(name IN LISTS BRISANE_GENERATED_RESOURCES)
  list(APPEND generated_paths ${BRISANE_ASSETS_DIR}/${name})
  if(NOT EXISTS ${BRISANE_ASSETS_DIR}/${name})
    list(APPEND missing ${name})
  endif()
endforeach()
if(missing)
  message(FATAL_ERROR "The generated resources are missing from ${BRISANE_ASSETS_DIR} "
    "(${missing}). Build the native tree and run its tools/assets/brisane_assets "
    "with that folder (./run build does both), or point BRISANE_ASSETS_DIR at a folder "
    "it has written.")
endif()
set_property(SOURCE ${CMAKE_SOURCE_DIR}/resources/brisane.rc APPEND PROPERTY OBJECT_DEPENDS
  ${BRISANE_RESOURCE_LIST} ${generated_paths})
