# Packaging steps run at build time (cmake -P), so that they see the files as built:
#   -DSTEP=pad    -DIMAGE=installer.exe -DOFFSET=53248 -DOUT=installer-image.exe
#       the installer's program image padded with zero bytes to exactly OFFSET bytes;
#       fails when the image is already larger (the payload would overwrite its end).
#   -DSTEP=bundle -DIMAGE=installer-image.exe -DOFFSET=53248 -DPAYLOAD=norvel.exe -DOUT=...
#       the padded image followed by the payload, unchanged.
#   -DSTEP=zip    -DSTAGE=dir -DOUT=x.zip -DTOP=norvel-1.0 -DFILES=a|b -DSTANDIN=dll
#                 -DSTANDIN_README=txt -DSTANDIN_DATA=dir
#       a zip holding TOP/ with FILES, and the AR library stand-in in TOP/arapi51-standin/.
cmake_minimum_required(VERSION 3.20)

function(require_size path expected)
  file(SIZE "${path}" actual)
  if(NOT actual EQUAL expected)
    message(FATAL_ERROR "${path} is ${actual} bytes, expected ${expected}")
  endif()
endfunction()

function(copy_file from to)
  execute_process(COMMAND ${CMAKE_COMMAND} -E copy "${from}" "${to}" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "could not copy ${from} to ${to}")
  endif()
endfunction()

if(STEP STREQUAL "pad")
  file(SIZE "${IMAGE}" size)
  if(size GREATER OFFSET)
    message(FATAL_ERROR
      "installer.exe is ${size} bytes, larger than the payload offset ${OFFSET}: the carried "
      "program would overwrite its end. Make the installer smaller, or raise kPayloadOffset "
      "in installer/extract.h (old installers then no longer match new releases).")
  endif()
  file(REMOVE "${OUT}")
  copy_file("${IMAGE}" "${OUT}")
  execute_process(COMMAND truncate -s ${OFFSET} "${OUT}" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "truncate could not pad ${OUT} (${rc})")
  endif()
  require_size("${OUT}" ${OFFSET})

elseif(STEP STREQUAL "bundle")
  require_size("${IMAGE}" ${OFFSET})
  file(SIZE "${PAYLOAD}" payload_size)
  if(payload_size EQUAL 0)
    message(FATAL_ERROR "${PAYLOAD} is empty")
  endif()
  get_filename_component(out_dir "${OUT}" DIRECTORY)
  file(MAKE_DIRECTORY "${out_dir}")
  execute_process(COMMAND ${CMAKE_COMMAND} -E cat "${IMAGE}" "${PAYLOAD}"
                  OUTPUT_FILE "${OUT}.part" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "could not join ${IMAGE} and ${PAYLOAD} (${rc})")
  endif()
  math(EXPR total "${OFFSET} + ${payload_size}")
  require_size("${OUT}.part" ${total})
  file(RENAME "${OUT}.part" "${OUT}")
  message(STATUS "${OUT}: ${total} bytes (payload ${payload_size} at offset ${OFFSET})")

elseif(STEP STREQUAL "zip")
  file(REMOVE_RECURSE "${STAGE}")
  set(top "${STAGE}/${TOP}")
  file(MAKE_DIRECTORY "${top}")
  string(REPLACE "|" ";" files "${FILES}")
  foreach(f IN LISTS files)
    file(COPY "${f}" DESTINATION "${top}")
  endforeach()
  if(STANDIN)
    file(MAKE_DIRECTORY "${top}/arapi51-standin")
    file(COPY "${STANDIN}" DESTINATION "${top}/arapi51-standin")
    copy_file("${STANDIN_README}" "${top}/arapi51-standin/README.txt")
    if(STANDIN_DATA)
      file(COPY "${STANDIN_DATA}/" DESTINATION "${top}/arapi51-standin/arsim-servers")
    endif()
  endif()
  file(REMOVE "${OUT}")
  execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf "${OUT}" --format=zip -- "${TOP}"
                  WORKING_DIRECTORY "${STAGE}" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "could not write ${OUT} (${rc})")
  endif()
  message(STATUS "${OUT}")

else()
  message(FATAL_ERROR "package.cmake: unknown STEP '${STEP}'")
endif()
