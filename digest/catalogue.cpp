// The twelve routines in the order of the window's result fields, with the names the
// command-line tool prints.
#include "digest.h"

const DigestInfo DigestCatalogue[kDigestCount] = {
    {"MD5", nullptr, HashMD5, 32},
    {"MD2", HashMD2, nullptr, 32},
    {"MD4", nullptr, HashMD4, 32},
    {"SHA0", HashSHA0, nullptr, 40},
    {"SHA1", HashSHA1, nullptr, 40},
    {"SHA256", HashSHA256, nullptr, 64},
    {"RIPEMD128", nullptr, HashRIPEMD128, 32},
    {"RIPEMD160", nullptr, HashRIPEMD160, 40},
    {"RIPEMD256", HashRIPEMD256, nullptr, 64},
    {"CRC16", HashCRC16, nullptr, 4},
    {"CRC32", HashCRC32, nullptr, 8},
    {"CRC32b", HashCRC32b, nullptr, 8},
};
