# The pictures, sounds and icon that brisane.rc embeds are written by the
# native asset generator (tools/assets, run by ./run build) into
# BRISANE_ASSETS_DIR. Make the resource script depend on them, so the program
# is re-linked whenever the generator writes new bytes.
set(BRISANE_GENERATED_RESOURCES icon_100.ico scene_147.sss jpeg_150.jpg)
foreach(id RANGE 168 180)
  list(APPEND BRISANE_GENERATED_RESOURCES jpeg_${id}.jpg)
endforeach()
foreach(id RANGE 1100 1124)
  list(APPEND BRISANE_GENERATED_RESOURCES jpeg_${id}.jpg)
endforeach()
foreach(id IN ITEMS 151 152 153 155 157)
  list(APPEND BRISANE_GENERATED_RESOURCES wav_${id}.wav)
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
set_property(SOURCE ${CMAKE_SOURCE_DIR}/resources/brisane.rc APPEND PROPERTY OBJECT_DEPENDS ${generated_paths})
