# Per generator: the ZIP unpacks into one folder named after the package; the
# installer takes the files themselves and puts them into the folder chosen.
if(CPACK_GENERATOR STREQUAL "NSIS")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
endif()
