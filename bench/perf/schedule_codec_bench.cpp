// The schedule file's encoder and decoder alone, in MB/s of file bytes, next to memcpy of the same
// bytes, measured in interleaved rounds.
//
//   schedule_codec_bench [rounds]

#include "bench_util.h"
#include "largest_schedule.h"

#include "model/random_source.h"
#include "model/schedule_file.h"

#include <cstring>
#include <functional>

namespace {

using velmo::bench::NowNs;

// Keeps the compiler from dropping work whose result nobody reads.
inline void Escape(const void* p) {
    asm volatile("" : : "g"(p) : "memory");
}

// Enough repetitions of `op` for one timed block of about `targetNs`.
int Calibrate(const std::function<void()>& op, std::int64_t targetNs) {
    int reps = 1;
    for (;;) {
        const std::int64_t start = NowNs();
        for (int i = 0; i < reps; ++i)
            op();
        const std::int64_t spent = NowNs() - start;
        if (spent >= targetNs / 4 || reps >= (1 << 24))
            return std::max(1, static_cast<int>(static_cast<double>(reps) * static_cast<double>(targetNs) /
                                                static_cast<double>(std::max<std::int64_t>(spent, 1))));
        reps *= 2;
    }
}

// MB/s (10^6 bytes per second) of one block of reps calls.
double Throughput(const std::function<void()>& op, int reps, std::size_t bytes) {
    const std::int64_t start = NowNs();
    for (int i = 0; i < reps; ++i)
        op();
    const double seconds = static_cast<double>(NowNs() - start) * 1e-9;
    return static_cast<double>(bytes) * reps / seconds / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = velmo::bench::CountArgument(argc, argv, 1, 41);
    const velmo::Schedule largest = velmo::bench::LargestSchedule();
    velmo::SeededRandomSource random(2007);

    std::vector<std::uint8_t> file;
    if (!velmo::EncodeSchedule(largest, random, file)) {
        std::fprintf(stderr, "cannot encode the largest schedule\n");
        return 1;
    }
    const std::size_t bytes = file.size();

    std::vector<std::uint8_t> encoded;
    auto encode = [&] {
        if (!velmo::EncodeSchedule(largest, random, encoded))
            std::abort();
        Escape(encoded.data());
    };
    // As a second Open of the same file: the model already holds a schedule of this shape.
    velmo::Schedule model = largest;
    auto decode = [&] {
        if (!velmo::DecodeSchedule(file.data(), file.size(), model))
            std::abort();
        Escape(&model);
    };
    std::vector<std::uint8_t> copy(bytes);
    auto copyBytes = [&] {
        Escape(file.data());
        std::memcpy(copy.data(), file.data(), bytes);
        Escape(copy.data());
    };
    if (!(model == largest)) {
        std::fprintf(stderr, "decoded schedule differs\n");
        return 1;
    }

    constexpr std::int64_t kBlockNs = 20'000'000;
    const int encodeReps = Calibrate(encode, kBlockNs);
    const int decodeReps = Calibrate(decode, kBlockNs);
    const int copyReps = Calibrate(copyBytes, kBlockNs);

    std::vector<double> encodeMBs, decodeMBs, copyMBs;
    for (int round = 0; round < rounds; ++round) {
        // A different order each round, so none of the three always runs on a warmer machine.
        for (int k = 0; k < 3; ++k) {
            switch ((round + k) % 3) {
            case 0:
                encodeMBs.push_back(Throughput(encode, encodeReps, bytes));
                break;
            case 1:
                decodeMBs.push_back(Throughput(decode, decodeReps, bytes));
                break;
            default:
                copyMBs.push_back(Throughput(copyBytes, copyReps, bytes));
                break;
            }
        }
    }

    using velmo::bench::Median;
    using velmo::bench::MedianRatio;
    using velmo::bench::Spread;
    std::printf("schedule file codec: largest schedule, %zu file bytes, %d interleaved rounds of ~%lld ms "
                "per operation\n",
                bytes, rounds, static_cast<long long>(kBlockNs / 1000000));
    std::printf("  median (p10 .. p90), MB/s = 10^6 file bytes per second\n");
    std::printf("  EncodeSchedule  %-32s %8.1f us per file\n", Spread(encodeMBs, "%.1f").c_str(),
                static_cast<double>(bytes) / Median(encodeMBs));
    std::printf("  DecodeSchedule  %-32s %8.1f us per file\n", Spread(decodeMBs, "%.1f").c_str(),
                static_cast<double>(bytes) / Median(decodeMBs));
    std::printf("  memcpy          %-32s %8.3f us per file\n", Spread(copyMBs, "%.0f").c_str(),
                static_cast<double>(bytes) / Median(copyMBs));
    std::printf("  memcpy / encode %.0fx, memcpy / decode %.0fx (medians of per-round ratios)\n",
                MedianRatio(copyMBs, encodeMBs), MedianRatio(copyMBs, decodeMBs));
    return 0;
}
