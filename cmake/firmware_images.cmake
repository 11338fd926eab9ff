# The three firmware images the program embeds. Give the real ones with
# -DFWUPDATE_IMAGE_505=<file> (and 506, 507); without them the build makes placeholders
# of the same size and first bytes, which are never committed.
set(FWUPDATE_IMAGE_DIR ${CMAKE_BINARY_DIR}/images)
set(FWUPDATE_IMAGE_FILES)
foreach(number 505 506 507)
  set(FWUPDATE_IMAGE_${number} "" CACHE FILEPATH "Firmware image ${number} (empty: a placeholder)")
  set(out ${FWUPDATE_IMAGE_DIR}/image${number}.bin)
  if(FWUPDATE_IMAGE_${number})
    add_custom_command(OUTPUT ${out}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${FWUPDATE_IMAGE_DIR}
      COMMAND ${CMAKE_COMMAND} -E copy ${FWUPDATE_IMAGE_${number}} ${out}
      DEPENDS ${FWUPDATE_IMAGE_${number}}
      COMMENT "Firmware image ${number}")
  else()
    add_custom_command(OUTPUT ${out}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${FWUPDATE_IMAGE_DIR}
      COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/make_placeholder_image.py ${number} ${out}
      DEPENDS ${CMAKE_SOURCE_DIR}/tools/make_placeholder_image.py
      COMMENT "Placeholder firmware image ${number}")
  endif()
  list(APPEND FWUPDATE_IMAGE_FILES ${out})
endforeach()
add_custom_target(fwupdate_images DEPENDS ${FWUPDATE_IMAGE_FILES})
