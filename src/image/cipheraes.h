#pragma once

#include "image/cipher.h"

// cCipherAES: the AES block cipher of the layer's table. The block routines
// are the library's (OpenSSL, FIPS-197); the key set-up checks the key as the
// layer's table demands.
const TCipherInfo &aesCipherInfo();
