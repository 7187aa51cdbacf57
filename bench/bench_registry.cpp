// Reading a settings file of many keys, and one key of many values, as the
// start-up does before the window appears.
//
//   bench_registry [KEYS] [RUNS]
#include "platform/RegistryStore.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

double medianMs(const std::string &text, int runs, std::size_t &keysRead)
{
    std::vector<double> ms;
    for (int r = 0; r < runs; ++r) {
        const auto t0 = std::chrono::steady_clock::now();
        platform::RegistryFile f = platform::RegistryFile::parse(text);
        const auto t1 = std::chrono::steady_clock::now();
        keysRead = f.keys().size();
        ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    const int keys = argc > 1 ? std::atoi(argv[1]) : 20000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    const std::string root = "[HKEY_CURRENT_USER\\Software\\Farrowdale Software\\QUORBIX\\";

    std::string manyKeys = "REGEDIT4\r\n\r\n";
    for (int i = 0; i < keys; ++i)
        manyKeys += root + "Key" + std::to_string(i) + "]\r\n\"Value\"=\"" + std::to_string(i) +
                    "\"\r\n\"Font\"=hex:01,02,03,04\r\n\r\n";
    std::string manyValues = "REGEDIT4\r\n\r\n" + root + "Setup]\r\n";
    for (int i = 0; i < keys; ++i)
        manyValues += "\"Value" + std::to_string(i) + "\"=\"x\"\r\n";
    std::string longHex = "REGEDIT4\r\n\r\n" + root + "Setup]\r\n\"Big\"=hex:00";
    for (int i = 0; i < keys; ++i)
        longHex += ",01,02,03,\\\r\n  04";
    longHex += "\r\n";

    std::size_t n = 0;
    double a = medianMs(manyKeys, runs, n);
    std::printf("%d keys (%zu bytes): median %.1f ms of %d runs, %zu keys read\n", keys, manyKeys.size(), a, runs, n);
    double b = medianMs(manyValues, runs, n);
    std::printf("%d values in one key (%zu bytes): median %.1f ms\n", keys, manyValues.size(), b);
    double c = medianMs(longHex, runs, n);
    std::printf("one hex value over %d lines (%zu bytes): median %.1f ms\n", keys, longHex.size(), c);
    const bool ok = std::max({a, b, c}) < 200.0;
    std::printf("%s: every case under 200 ms\n", ok ? "ok" : "SLOW");
    return ok ? 0 : 1;
}
