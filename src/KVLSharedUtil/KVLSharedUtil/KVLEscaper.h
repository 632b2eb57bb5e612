#pragma once

#include <string>
#include <string_view>

// The one pass behind NSMutableStringKVLEscapeUtil's XML and HTML escapes. Text is searched a
// 64-byte chunk at a time by one of two kernels; the fastest this machine runs is chosen once,
// and both are reachable here so that tests cover each wherever it runs.
class KVLEscaper {
public:
    enum class Entries { XML, HTML };
    enum class Kernel {
        Portable,  // the compiler's vector extensions (SSE2 on x86-64)
        AVX512,    // x86-64 with AVX-512BW, VBMI2 and BMI1/2, chosen at run time
    };

    // Whether this machine runs kernel.
    static bool runs(Kernel kernel);

    // Appends text to out with each character to replace replaced by its entity and, with the
    // HTML entries, each space by space, using the fastest kernel this machine runs.
    static void append(std::string& out, std::string_view text, Entries entries, std::string_view space);
    // The same with kernel, which this machine must run.
    static void append(std::string& out, std::string_view text, Entries entries, std::string_view space, Kernel kernel);
};
