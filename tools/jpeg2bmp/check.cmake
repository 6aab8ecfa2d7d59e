# jpeg2bmp turns a JPEG into a BMP of the same picture, and refuses non-JPEG
# input with exit code 1 and a reason.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

execute_process(COMMAND ${CONVERT} -size 37x21 gradient:red-blue -sampling-factor 2x2 -quality 92 ${WORK}/in.jpg
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "could not make the test picture")
endif()
execute_process(COMMAND ${TOOL} ${WORK}/in.jpg ${WORK}/out.bmp RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "jpeg2bmp failed (${rc}): ${err}")
endif()
# 54 bytes of headers, 21 rows of 37 * 3 bytes padded to 112.
file(SIZE ${WORK}/out.bmp size)
if(NOT size EQUAL 2406)
  message(FATAL_ERROR "unexpected BMP size ${size}")
endif()
execute_process(COMMAND ${CONVERT} ${WORK}/out.bmp ${WORK}/in.jpg -metric PSNR -compare -format "%[distortion]" info:
                OUTPUT_VARIABLE psnr RESULT_VARIABLE rc)
if(NOT psnr STREQUAL "inf" AND NOT psnr STREQUAL "0" AND psnr LESS 45)
  message(FATAL_ERROR "BMP differs from the JPEG: PSNR ${psnr}")
endif()

file(WRITE ${WORK}/not.jpg "this is not a picture")
execute_process(COMMAND ${TOOL} ${WORK}/not.jpg ${WORK}/not.bmp RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 1 OR err STREQUAL "")
  message(FATAL_ERROR "non-JPEG input gave exit code ${rc}, message '${err}'")
endif()
if(EXISTS ${WORK}/not.bmp)
  message(FATAL_ERROR "a BMP was written for non-JPEG input")
endif()
