# The code-signing publisher: the release's key and certificate chain when
# the environment names them (TESSARIN_SIGN_KEY, TESSARIN_SIGN_CERT), else
# the test bed's throw-away test publisher, made once in .cache. The
# programs carry the publisher's public key (net/PublisherKey.h, generated)
# and take an update only when its signer has that key.
set(TESSARIN_TEST_PUBLISHERS ${PROJECT_SOURCE_DIR}/.cache/test-publisher)
# The test publishers are made in any case: the tests also need a stranger.
if(NOT EXISTS ${TESSARIN_TEST_PUBLISHERS}/other.crt)
  execute_process(COMMAND ${PROJECT_SOURCE_DIR}/scripts/make-test-publisher ${TESSARIN_TEST_PUBLISHERS}
    COMMAND_ERROR_IS_FATAL ANY)
endif()
if(DEFINED ENV{TESSARIN_SIGN_KEY} AND DEFINED ENV{TESSARIN_SIGN_CERT})
  set(TESSARIN_SIGN_KEY $ENV{TESSARIN_SIGN_KEY})
  set(TESSARIN_SIGN_CERT $ENV{TESSARIN_SIGN_CERT})
  message(STATUS "Signing with the release publisher ${TESSARIN_SIGN_CERT}")
else()
  set(TESSARIN_SIGN_KEY ${TESSARIN_TEST_PUBLISHERS}/publisher.key)
  set(TESSARIN_SIGN_CERT ${TESSARIN_TEST_PUBLISHERS}/publisher.crt)
  message(STATUS "Signing with the test publisher (no TESSARIN_SIGN_KEY and TESSARIN_SIGN_CERT)")
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
