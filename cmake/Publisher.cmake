# The code-signing publisher: the release's key and certificate chain when
# the environment names them (TESSARIN_SIGN_KEY, TESSARIN_SIGN_CERT; kept in
# the cache as TESSARIN_RELEASE_KEY and TESSARIN_RELEASE_CERT), else
# the test bed's throw-away test publisher, made once in .cache, but only
# when asked for (TESSARIN_TEST_PUBLISHER=ON; the test presets and the
# project's scripts ask): a release must never sign with it by accident. The
# programs carry the publisher's public key (net/PublisherKey.h, generated)
# and take an update only when its signer has that key, so a build folder
# keeps its publisher for good (its fingerprint in publisher.sha256).
option(TESSARIN_TEST_PUBLISHER "Sign with the test bed's throw-away test publisher when no release key is given" OFF)
set(TESSARIN_TEST_PUBLISHERS ${PROJECT_SOURCE_DIR}/.cache/test-publisher)
# The test publishers are made in any case: the tests also need a stranger.
if(NOT EXISTS ${TESSARIN_TEST_PUBLISHERS}/other.crt)
  execute_process(COMMAND ${PROJECT_SOURCE_DIR}/scripts/make-test-publisher ${TESSARIN_TEST_PUBLISHERS}
    COMMAND_ERROR_IS_FATAL ANY)
endif()
# A release's key is kept in the cache, so that an automatic re-configure
# without the variables keeps it.
if(DEFINED ENV{TESSARIN_SIGN_KEY} AND DEFINED ENV{TESSARIN_SIGN_CERT})
  set(TESSARIN_RELEASE_KEY $ENV{TESSARIN_SIGN_KEY} CACHE FILEPATH "The release publisher's key" FORCE)
  set(TESSARIN_RELEASE_CERT $ENV{TESSARIN_SIGN_CERT} CACHE FILEPATH "The release publisher's certificate chain" FORCE)
endif()
if(TESSARIN_RELEASE_KEY AND TESSARIN_RELEASE_CERT)
  set(TESSARIN_SIGN_KEY ${TESSARIN_RELEASE_KEY})
  set(TESSARIN_SIGN_CERT ${TESSARIN_RELEASE_CERT})
  message(STATUS "Signing with the release publisher ${TESSARIN_SIGN_CERT}")
elseif(TESSARIN_TEST_PUBLISHER)
  set(TESSARIN_SIGN_KEY ${TESSARIN_TEST_PUBLISHERS}/publisher.key)
  set(TESSARIN_SIGN_CERT ${TESSARIN_TEST_PUBLISHERS}/publisher.crt)
  message(STATUS "Signing with the test publisher (TESSARIN_TEST_PUBLISHER=ON)")
else()
  message(FATAL_ERROR "No release publisher: set TESSARIN_SIGN_KEY and TESSARIN_SIGN_CERT to the release's "
    "key and certificate chain, or configure with -DTESSARIN_TEST_PUBLISHER=ON for a build signed by the "
    "test bed's throw-away publisher (which can never update a user's installation).")
endif()

# The publisher's certificate fingerprint, kept in the build folder: a
# re-configure with another publisher would give programs that refuse the
# updates of the ones built before.
execute_process(COMMAND openssl x509 -in ${TESSARIN_SIGN_CERT} -noout -fingerprint -sha256
  OUTPUT_VARIABLE publisher_fingerprint OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
set(publisher_fingerprint_file ${CMAKE_BINARY_DIR}/publisher.sha256)
if(EXISTS ${publisher_fingerprint_file})
  file(READ ${publisher_fingerprint_file} kept_fingerprint)
  string(STRIP "${kept_fingerprint}" kept_fingerprint)
  if(NOT kept_fingerprint STREQUAL publisher_fingerprint)
    message(FATAL_ERROR "This build folder signs with the publisher ${kept_fingerprint}, not with "
      "${TESSARIN_SIGN_CERT} (${publisher_fingerprint}). Build another publisher in a new build folder.")
  endif()
else()
  file(WRITE ${publisher_fingerprint_file} "${publisher_fingerprint}\n")
endif()

# The publisher's RSA public key as its certificate holds it (DER
# RSAPublicKey), as C array elements.
execute_process(
  COMMAND sh -c "openssl x509 -in \"$0\" -noout -pubkey | openssl rsa -pubin -RSAPublicKey_out -outform DER | od -An -v -tx1"
    ${TESSARIN_SIGN_CERT}
  OUTPUT_VARIABLE publisher_key_hex COMMAND_ERROR_IS_FATAL ANY)
string(REGEX REPLACE "[ \n]+" " " publisher_key_hex "${publisher_key_hex}")
string(STRIP "${publisher_key_hex}" publisher_key_hex)
string(REPLACE " " ", 0x" publisher_key_bytes "0x${publisher_key_hex}")
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/generated/net/PublisherKey.h CONTENT [[
#pragma once

// The public key of the publisher whose signature an update must carry
// (DER RSAPublicKey), generated from its certificate at configure time.
const unsigned char kPublisherKey[] = {@publisher_key_bytes@};
]] @ONLY)

set(TESSARIN_SIGN_COMMAND ${PROJECT_SOURCE_DIR}/scripts/sign-file ${TESSARIN_SIGN_CERT} ${TESSARIN_SIGN_KEY})

# Signs the shipped build's program in place after every link.
function(tessarin_sign target)
  if(NOT TESSARIN_TESTS)
    add_custom_command(TARGET ${target} POST_BUILD COMMAND ${TESSARIN_SIGN_COMMAND} $<TARGET_FILE:${target}> VERBATIM)
  endif()
endfunction()
