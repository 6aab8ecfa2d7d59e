# The pictures, sounds and icon that brisane.rc embeds are written by the
# native tree's asset generator (tools/assets) into BRISANE_ASSETS_DIR; resource_list.inc names them. Make the resource script
# depend on them, so the program is re-linked whenever the generator writes
# new bytes.
set(BRISANE_RESOURCE_LIST ${CMAKE_SOURCE_DIR}/resources/resource_list.inc)
brisane_resource_files(BRISANE_GENERATED_RESOURCES)

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
    "(${missing}). Build the native tree's brisane_native_assets target first "
    "(./run build does), or point BRISANE_ASSETS_DIR at a folder the generator has written.")
endif()
set_property(SOURCE ${CMAKE_SOURCE_DIR}/resources/brisane.rc APPEND PROPERTY OBJECT_DEPENDS
  ${BRISANE_RESOURCE_LIST} ${generated_paths})
