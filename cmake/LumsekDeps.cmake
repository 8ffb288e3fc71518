# Third-party code, all from Debian packages (see tools/setup.sh).

# Boost.Regex, header-only. The include folder holds nothing but a link to the
# Boost headers, so no Linux header can leak into the Windows build.
add_library(boost_headers INTERFACE)
target_include_directories(boost_headers SYSTEM INTERFACE "${LUMSEK_DEPS_DIR}/boost-include")
target_compile_definitions(boost_headers INTERFACE BOOST_ALL_NO_LIB)

# TinyXML, compiled from the unpacked Debian source package.
set(TINYXML_DIR "${LUMSEK_DEPS_DIR}/tinyxml-src")
if(EXISTS "${TINYXML_DIR}/tinyxml.cpp")
  add_library(tinyxml STATIC
    "${TINYXML_DIR}/tinyxml.cpp" "${TINYXML_DIR}/tinystr.cpp"
    "${TINYXML_DIR}/tinyxmlerror.cpp" "${TINYXML_DIR}/tinyxmlparser.cpp")
  target_include_directories(tinyxml SYSTEM PUBLIC "${TINYXML_DIR}")
  target_compile_definitions(tinyxml PUBLIC TIXML_USE_STL)
  target_compile_options(tinyxml PRIVATE -w)
else()
  message(FATAL_ERROR "TinyXML source not found in ${TINYXML_DIR}: run tools/setup.sh")
endif()

# libcurl, built static with Schannel by tools/setup.sh.
set(CURL_PREFIX "${LUMSEK_DEPS_DIR}/curl-${CMAKE_SYSTEM_PROCESSOR}")
if(EXISTS "${CURL_PREFIX}/lib/libcurl.a")
  add_library(curl_static STATIC IMPORTED GLOBAL)
  set_target_properties(curl_static PROPERTIES
    IMPORTED_LOCATION "${CURL_PREFIX}/lib/libcurl.a"
    INTERFACE_INCLUDE_DIRECTORIES "${CURL_PREFIX}/include"
    INTERFACE_COMPILE_DEFINITIONS CURL_STATICLIB
    INTERFACE_LINK_LIBRARIES "ws2_32;crypt32;secur32;bcrypt;advapi32")
else()
  message(FATAL_ERROR "libcurl not found in ${CURL_PREFIX}: run tools/setup.sh")
endif()

# zlib from Debian's MinGW package.
find_library(MINGW_ZLIB NAMES libz.a z REQUIRED)
find_path(MINGW_ZLIB_INCLUDE zlib.h REQUIRED)
add_library(zlib_static INTERFACE)
target_link_libraries(zlib_static INTERFACE "${MINGW_ZLIB}")
target_include_directories(zlib_static SYSTEM INTERFACE "${MINGW_ZLIB_INCLUDE}")
