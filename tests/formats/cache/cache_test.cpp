// Point caches: MDD and PC2 written frame by frame read back the same, caches
// whose header does not fit the file are refused before anything is
// allocated, and the .npy header is what NumPy expects.
#include <gtest/gtest.h>

#include <algorithm>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>

#include "cache/mdd.h"
#include "cache/npy_writer.h"
#include "cache/pc2.h"
#include "files/format_error.h"
#include "tool_runner.h"

namespace kestrin::formats {
namespace {

using test::ScratchDirectory;

std::vector<Point3> frame(int number) {
    return {{0.5 * number, -1.25, 3.0}, {1e-3, 2.0 * number, -7.5}, {100.0, 0.0, number + 0.25}};
}

void expectSamePoints(const std::vector<Point3>& got, const std::vector<Point3>& expected) {
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i) {
        // Caches hold floats.
        EXPECT_EQ(got[i].x, double(float(expected[i].x))) << i;
        EXPECT_EQ(got[i].y, double(float(expected[i].y))) << i;
        EXPECT_EQ(got[i].z, double(float(expected[i].z))) << i;
    }
}

std::string bytesOf(const std::string& path) { return test::readText(path); }

void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

TEST(Mdd, FramesWrittenInOrderReadBackInAnyOrder) {
    ScratchDirectory scratch;
    MddWriter writer(scratch.file("a.mdd"), 3, {0.0f, 1.0f / 24, 2.0f / 24});
    for (int f = 0; f < 3; ++f) writer.appendFrame(frame(f).data());
    // Its temporary and the run's lock file beside it.
    const std::vector<std::string> writing = scratch.entries();
    EXPECT_TRUE(std::find(writing.begin(), writing.end(), "a.mdd") == writing.end())
        << "the cache appears only when finished";
    writer.finish();
    // Big-endian: the frame count's last byte is the fourth.
    const std::string bytes = bytesOf(scratch.file("a.mdd"));
    EXPECT_EQ(bytes.size(), 8u + 3 * 4 + 3 * 3 * 12);
    EXPECT_EQ(std::string(bytes.data(), 8), std::string("\0\0\0\3\0\0\0\3", 8));

    const MddReader reader(scratch.file("a.mdd"), 3);
    EXPECT_EQ(reader.frameCount(), 3u);
    EXPECT_EQ(reader.pointCount(), 3u);
    EXPECT_EQ(reader.frameTime(2), 2.0f / 24);
    std::vector<Point3> points;
    for (int f : {2, 0, 1}) {
        reader.readFrame(f, points);
        expectSamePoints(points, frame(f));
    }
}

TEST(Pc2, SamplesWrittenInOrderReadBackWithStartAndRate) {
    ScratchDirectory scratch;
    Pc2Writer writer(scratch.file("a.pc2"), 3, 2, 10.0f, 0.5f);
    writer.appendFrame(frame(0).data());
    writer.appendFrame(frame(1).data());
    writer.finish();
    const std::string bytes = bytesOf(scratch.file("a.pc2"));
    EXPECT_EQ(bytes.size(), 32u + 2 * 3 * 12);
    EXPECT_EQ(bytes.substr(0, 16), std::string("POINTCACHE2\0\1\0\0\0", 16));

    const Pc2Reader reader(scratch.file("a.pc2"), 3);
    EXPECT_EQ(reader.frameCount(), 2u);
    EXPECT_EQ(reader.startFrame(), 10.0f);
    EXPECT_EQ(reader.sampleRate(), 0.5f);
    std::vector<Point3> points;
    reader.readFrame(1, points);
    expectSamePoints(points, frame(1));
    EXPECT_THROW(reader.readFrame(2, points), FormatError);
}

TEST(Caches, WritersRefuseTooFewOrTooManyFramesAndLeaveNothing) {
    ScratchDirectory scratch;
    {
        MddWriter writer(scratch.file("a.mdd"), 3, {0.0f, 1.0f});
        writer.appendFrame(frame(0).data());
        EXPECT_THROW(writer.finish(), FormatError);
        Pc2Writer pc2(scratch.file("a.pc2"), 3, 1, 0.0f, 1.0f);
        pc2.appendFrame(frame(0).data());
        EXPECT_THROW(pc2.appendFrame(frame(1).data()), FormatError);
        std::vector<Point3> bad = frame(0);
        bad[1].y = std::nan("");
        Pc2Writer nan(scratch.file("b.pc2"), 3, 1, 0.0f, 1.0f);
        EXPECT_THROW(nan.appendFrame(bad.data()), FormatError);
    }
    EXPECT_TRUE(scratch.entries().empty());
}

// Headers that lie about the file, each refused naming the file.
TEST(Caches, ReadersRefuseHeadersThatDoNotFitTheFile) {
    ScratchDirectory scratch;
    {
        MddWriter mdd(scratch.file("good.mdd"), 3, {0.0f, 1.0f});
        mdd.appendFrame(frame(0).data());
        mdd.appendFrame(frame(1).data());
        mdd.finish();
        Pc2Writer pc2(scratch.file("good.pc2"), 3, 2, 0.0f, 1.0f);
        pc2.appendFrame(frame(0).data());
        pc2.appendFrame(frame(1).data());
        pc2.finish();
    }
    const std::string mdd = bytesOf(scratch.file("good.mdd"));
    const std::string pc2 = bytesOf(scratch.file("good.pc2"));
    auto withWord = [](std::string bytes, size_t at, const char (&word)[5]) {
        return bytes.replace(at, 4, word, 4);
    };
    struct Case {
        const char* name;
        bool isMdd;
        std::string bytes;
        size_t expectedPoints;
        const char* message;
    };
    const Case cases[] = {
        {"mdd empty", true, "", 3, "ends inside the header"},
        {"mdd cut in a frame", true, mdd.substr(0, mdd.size() - 5), 3, "does not match"},
        {"mdd a byte more", true, mdd + "x", 3, "does not match"},
        {"mdd a billion frames", true, withWord(mdd, 0, "\x40\0\0\0"), 3, "does not match"},
        {"mdd negative frames", true, withWord(mdd, 0, "\xff\xff\xff\xfe"), 3, "negative count"},
        {"mdd negative points", true, withWord(mdd, 4, "\x80\0\0\0"), 3, "negative count"},
        {"mdd other point count", true, mdd, 4, "the cache has 3 points but the rest mesh has 4"},
        {"pc2 truncated header", false, pc2.substr(0, 20), 3, "ends inside the header"},
        {"pc2 other signature", false, "POINTCACHE3" + pc2.substr(11), 3, "no POINTCACHE2 signature"},
        {"pc2 version 2", false, withWord(pc2, 12, "\2\0\0\0"), 3, "version 2"},
        {"pc2 cut in a sample", false, pc2.substr(0, pc2.size() - 1), 3, "does not match"},
        {"pc2 huge sample count", false, withWord(pc2, 28, "\xff\xff\xff\x7f"), 3, "does not match"},
        {"pc2 huge point count", false, withWord(pc2, 16, "\xff\xff\xff\x7f"), 3, "does not match"},
        {"pc2 negative samples", false, withWord(pc2, 28, "\xff\xff\xff\xff"), 3, "negative count"},
        {"pc2 nan rate", false, withWord(pc2, 24, "\0\0\xc0\x7f"), 3, "not a finite number"},
        {"pc2 other point count", false, pc2, 2, "the cache has 3 points but the rest mesh has 2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = scratch.file("bad");
        writeBytes(path, c.bytes);
        try {
            if (c.isMdd) MddReader(path, c.expectedPoints);
            else Pc2Reader(path, c.expectedPoints);
            ADD_FAILURE() << "accepted";
        } catch (const FormatError& error) {
            const std::string message = error.what();
            EXPECT_EQ(message.rfind(path + ": ", 0), 0u) << message;
            EXPECT_NE(message.find(c.message), std::string::npos) << message;
        }
    }
}

TEST(Caches, AFrameHoldingNanIsRefusedWhenRead) {
    ScratchDirectory scratch;
    {
        MddWriter writer(scratch.file("a.mdd"), 3, {0.0f});
        writer.appendFrame(frame(0).data());
        writer.finish();
    }
    std::string bytes = bytesOf(scratch.file("a.mdd"));
    bytes.replace(8 + 4 + 12 + 4, 4, "\x7f\xc0\0\0", 4);  // point 1's y, big-endian NaN
    writeBytes(scratch.file("a.mdd"), bytes);
    const MddReader reader(scratch.file("a.mdd"), 3);
    std::vector<Point3> points;
    try {
        reader.readFrame(0, points);
        FAIL() << "read a NaN";
    } catch (const FormatError& error) {
        EXPECT_NE(std::string(error.what()).find("frame 0, point 1"), std::string::npos) << error.what();
    }
}

// The header checked by hand: magic, version 1.0, a little-endian length that
// puts the data at a multiple of 64, and the dictionary NumPy reads.
TEST(Npy, HeaderIsVersionOneAlignedTo64) {
    for (size_t points : {size_t(3), size_t(250000), size_t(123456789012)}) {
        const std::string header = npyHeader(20, points);
        ASSERT_EQ(header.size() % 64, 0u) << points;
        EXPECT_EQ(header.substr(0, 8), std::string("\x93NUMPY\x01\x00", 8));
        const size_t length = static_cast<unsigned char>(header[8]) |
                              static_cast<unsigned char>(header[9]) << 8;
        EXPECT_EQ(10 + length, header.size());
        const std::string dictionary = "{'descr': '<f4', 'fortran_order': False, 'shape': (20, " +
                                       std::to_string(points) + "), }";
        EXPECT_EQ(header.substr(10, dictionary.size()), dictionary);
        EXPECT_EQ(header.back(), '\n');
        EXPECT_EQ(header.find_first_not_of(' ', 10 + dictionary.size()), header.size() - 1);
    }
}

TEST(Npy, RowsFollowTheHeaderAsLittleEndianFloats) {
    ScratchDirectory scratch;
    NpyWriter writer(scratch.file("w.npy"), 2, 3);
    const float rows[2][3] = {{0.5f, -1.0f, 0.25f}, {1.0f, 2.0f, -0.0f}};
    writer.appendRow(rows[0]);
    writer.appendRow(rows[1]);
    writer.finish();
    const std::string bytes = bytesOf(scratch.file("w.npy"));
    const size_t data = npyHeader(2, 3).size();
    ASSERT_EQ(bytes.size(), data + 6 * 4);
    EXPECT_EQ(bytes.substr(data, 4), std::string("\0\0\0\x3f", 4));  // 0.5f
    EXPECT_EQ(bytes.substr(data + 5 * 4, 4), std::string("\0\0\0\x80", 4));  // -0.0f

    // NumPy itself, where it is installed: Debian's Python has it
    // (python3-numpy); another Python first on the PATH may not.
    if (std::system("/usr/bin/python3 -c 'import numpy' 2>/dev/null") != 0) GTEST_SKIP() << "no numpy";
    const std::string check = "/usr/bin/python3 -c \"import numpy, sys; a = numpy.load(sys.argv[1]); "
                              "sys.exit(0 if a.shape == (2, 3) and a.dtype == numpy.float32 and "
                              "a[0, 1] == -1 and a[1, 1] == 2 else 1)\" " +
                              scratch.file("w.npy");
    EXPECT_EQ(std::system(check.c_str()), 0);
}

}  // namespace
}  // namespace kestrin::formats
