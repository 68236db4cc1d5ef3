# Widget-free sources of the protocol core.
target_sources(energizer_core PRIVATE
  ${CMAKE_SOURCE_DIR}/link/crc8.cpp
  ${CMAKE_SOURCE_DIR}/link/frames.cpp
  ${CMAKE_SOURCE_DIR}/link/replyassembler.cpp
  ${CMAKE_SOURCE_DIR}/link/addresslist.cpp
  ${CMAKE_SOURCE_DIR}/device/energizer.cpp
  ${CMAKE_SOURCE_DIR}/device/energizerfields.cpp
  ${CMAKE_SOURCE_DIR}/device/statusrecord.cpp
  ${CMAKE_SOURCE_DIR}/config/configrecord.cpp
  ${CMAKE_SOURCE_DIR}/config/configxml.cpp
  ${CMAKE_SOURCE_DIR}/config/configdiff.cpp
  ${CMAKE_SOURCE_DIR}/settings/settingsfile.cpp
)
