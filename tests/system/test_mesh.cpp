// Tests of the ".msh" loader and the file reader: what a good file loads to,
// the scale, the empty mesh, and every way a bad file must fail (bad tag,
// truncation at each stage, negative and oversized counts, out-of-range
// indices) leaving the mesh empty and the file closed.
#include "Mesh.h"

#include "MeshWriter.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A fresh directory per test, removed afterwards.
class MeshFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = fs::temp_directory_path() /
              ("bralmond_mesh_" + std::to_string(::getpid()) + "_" + info->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::permissions(dir / "ReadOnly.msh", fs::perms::owner_all, ignored);
        fs::remove_all(dir, ignored);
    }

    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        const fs::path path = dir / name;
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }

    fs::path dir;
};

// A tetrahedron-like mesh: four vertices, two faces.
const std::vector<float> kXyz = {1.5f, -2.0f, 3.25f, 0.0f, 10.0f, -4.0f, 7.0f, 8.0f, 9.0f, -1.0f, -1.0f, 0.5f};
const std::vector<int32_t> kFaces = {0, 1, 2, 3, 2, 1};

void PutInt(std::vector<uint8_t>& bytes, size_t offset, int32_t value) { std::memcpy(&bytes[offset], &value, 4); }

void ExpectEmpty(const Mesh& mesh)
{
    EXPECT_EQ(0, mesh.vertexCount);
    EXPECT_EQ(0, mesh.faceCount);
    EXPECT_EQ(nullptr, mesh.vertices);
    EXPECT_EQ(nullptr, mesh.faces);
}

int OpenDescriptors()
{
    int count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++count;
    return count;
}

}  // namespace

TEST_F(MeshFiles, LoadsVerticesAndFacesInFileOrder)
{
    const std::string path = Write("Good.msh", datagen::EncodeMesh(kXyz, kFaces));
    Mesh mesh;
    ASSERT_TRUE(mesh.Load(path.c_str(), 1.0f));
    ASSERT_EQ(4, mesh.vertexCount);
    ASSERT_EQ(2, mesh.faceCount);
    for (size_t i = 0; i < kXyz.size(); ++i) EXPECT_EQ(kXyz[i], mesh.vertices[i]) << i;
    for (size_t i = 0; i < kFaces.size(); ++i) EXPECT_EQ(kFaces[i], mesh.faces[i]) << i;
}

TEST_F(MeshFiles, MultipliesEveryCoordinateByTheScale)
{
    const std::string path = Write("Good.msh", datagen::EncodeMesh(kXyz, kFaces));
    Mesh mesh;
    ASSERT_TRUE(mesh.Load(path.c_str(), 2.0f));
    for (size_t i = 0; i < kXyz.size(); ++i) EXPECT_EQ(2.0f * kXyz[i], mesh.vertices[i]) << i;
    ASSERT_TRUE(mesh.Load(path.c_str(), 0.0075f));
    for (size_t i = 0; i < kXyz.size(); ++i) EXPECT_EQ(0.0075f * kXyz[i], mesh.vertices[i]) << i;
    for (size_t i = 0; i < kFaces.size(); ++i) EXPECT_EQ(kFaces[i], mesh.faces[i]) << i;  // indices unscaled
}

TEST_F(MeshFiles, ZeroVerticesAndFacesLoadAsAnEmptyMesh)
{
    const std::string path = Write("Empty.msh", datagen::EncodeMesh({}, {}));
    Mesh mesh;
    EXPECT_TRUE(mesh.Load(path.c_str(), 1.0f));
    ExpectEmpty(mesh);
}

TEST_F(MeshFiles, VerticesWithoutFacesLoad)
{
    const std::string path = Write("Cloud.msh", datagen::EncodeMesh(kXyz, {}));
    Mesh mesh;
    ASSERT_TRUE(mesh.Load(path.c_str(), 1.0f));
    EXPECT_EQ(4, mesh.vertexCount);
    EXPECT_EQ(0, mesh.faceCount);
    EXPECT_EQ(nullptr, mesh.faces);
}

TEST_F(MeshFiles, BytesAfterTheLastFaceAreIgnored)
{
    std::vector<uint8_t> bytes = datagen::EncodeMesh(kXyz, kFaces);
    bytes.insert(bytes.end(), {'j', 'u', 'n', 'k', 0xFF});
    const std::string path = Write("Trailing.msh", bytes);
    Mesh mesh;
    ASSERT_TRUE(mesh.Load(path.c_str(), 1.0f));
    EXPECT_EQ(2, mesh.faceCount);
    EXPECT_EQ(1, mesh.faces[5]);
}

TEST_F(MeshFiles, NameIsAWindowsPathMatchedInAnyLetterCase)
{
    fs::create_directories(dir / "Data");
    Write("Data/Bol.msh", datagen::EncodeMesh(kXyz, kFaces));
    const std::string windowsPath = dir.string() + "\\DATA\\bol.MSH";
    Mesh mesh;
    EXPECT_TRUE(mesh.Load(windowsPath.c_str(), 1.0f));
    EXPECT_EQ(4, mesh.vertexCount);
}

TEST_F(MeshFiles, ReadOnlyFileLoads)
{
    const std::string path = Write("ReadOnly.msh", datagen::EncodeMesh(kXyz, kFaces));
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    Mesh mesh;
    EXPECT_TRUE(mesh.Load(path.c_str(), 1.0f));
    EXPECT_EQ(4, mesh.vertexCount);
}

TEST_F(MeshFiles, SecondLoadReplacesTheFirst)
{
    const std::string big = Write("Big.msh", datagen::EncodeMesh(kXyz, kFaces));
    const std::string small = Write("Small.msh", datagen::EncodeMesh({5, 6, 7}, {0, 0, 0}));
    Mesh mesh;
    ASSERT_TRUE(mesh.Load(big.c_str(), 1.0f));
    ASSERT_TRUE(mesh.Load(small.c_str(), 1.0f));
    EXPECT_EQ(1, mesh.vertexCount);
    EXPECT_EQ(1, mesh.faceCount);
    EXPECT_EQ(7.0f, mesh.vertices[2]);
    // A failing load after a good one leaves the mesh empty, not half old.
    EXPECT_FALSE(mesh.Load((dir / "Missing.msh").string().c_str(), 1.0f));
    ExpectEmpty(mesh);
}

TEST_F(MeshFiles, FreeEmptiesAndMayBeRepeated)
{
    const std::string path = Write("Good.msh", datagen::EncodeMesh(kXyz, kFaces));
    Mesh mesh;
    ASSERT_TRUE(mesh.Load(path.c_str(), 1.0f));
    mesh.Free();
    ExpectEmpty(mesh);
    mesh.Free();
    ExpectEmpty(mesh);
}

TEST_F(MeshFiles, MissingFileOrDirectoryFails)
{
    Mesh mesh;
    EXPECT_FALSE(mesh.Load((dir / "Nothing.msh").string().c_str(), 1.0f));
    EXPECT_FALSE(mesh.Load(dir.string().c_str(), 1.0f));
    ExpectEmpty(mesh);
}

TEST_F(MeshFiles, WrongTagFails)
{
    for (const char* tag : {"EMW", "emv", "VME", "XMV"}) {
        std::vector<uint8_t> bytes = datagen::EncodeMesh(kXyz, kFaces);
        std::memcpy(bytes.data(), tag, 3);
        const std::string path = Write("Tag.msh", bytes);
        Mesh mesh;
        EXPECT_FALSE(mesh.Load(path.c_str(), 1.0f)) << tag;
        ExpectEmpty(mesh);
    }
}

TEST_F(MeshFiles, FileCutShortAtAnyByteFails)
{
    // Every prefix: inside the tag, either count, a vertex or the face block.
    const std::vector<uint8_t> bytes = datagen::EncodeMesh(kXyz, kFaces);
    for (size_t length = 0; length < bytes.size(); ++length) {
        const std::string path = Write("Cut.msh", std::vector<uint8_t>(bytes.begin(), bytes.begin() + length));
        Mesh mesh;
        EXPECT_FALSE(mesh.Load(path.c_str(), 1.0f)) << "length " << length;
        ExpectEmpty(mesh);
    }
}

TEST_F(MeshFiles, NegativeCountsFail)
{
    const size_t faceCountOffset = 7 + 12 * 4;
    std::vector<uint8_t> bytes = datagen::EncodeMesh(kXyz, kFaces);
    PutInt(bytes, 3, -1);
    Mesh mesh;
    EXPECT_FALSE(mesh.Load(Write("NegV.msh", bytes).c_str(), 1.0f));
    ExpectEmpty(mesh);

    bytes = datagen::EncodeMesh(kXyz, kFaces);
    PutInt(bytes, faceCountOffset, -2);
    EXPECT_FALSE(mesh.Load(Write("NegF.msh", bytes).c_str(), 1.0f));
    ExpectEmpty(mesh);

    bytes = datagen::EncodeMesh(kXyz, kFaces);
    PutInt(bytes, faceCountOffset, INT32_MIN);
    EXPECT_FALSE(mesh.Load(Write("MinF.msh", bytes).c_str(), 1.0f));
    ExpectEmpty(mesh);
}

TEST_F(MeshFiles, CountsLargerThanTheFileFail)
{
    const size_t faceCountOffset = 7 + 12 * 4;
    Mesh mesh;
    // Four vertices and two faces fill the file: five vertices or three faces are too many.
    for (int32_t count : {5, 1000, 0x7FFFFFFF}) {
        std::vector<uint8_t> bytes = datagen::EncodeMesh(kXyz, kFaces);
        PutInt(bytes, 3, count);
        EXPECT_FALSE(mesh.Load(Write("BigV.msh", bytes).c_str(), 1.0f)) << count;
        ExpectEmpty(mesh);
    }
    for (int32_t count : {3, 1000, 0x7FFFFFFF}) {
        std::vector<uint8_t> bytes = datagen::EncodeMesh(kXyz, kFaces);
        PutInt(bytes, faceCountOffset, count);
        EXPECT_FALSE(mesh.Load(Write("BigF.msh", bytes).c_str(), 1.0f)) << count;
        ExpectEmpty(mesh);
    }
}

TEST_F(MeshFiles, FaceIndexOutsideTheVerticesFails)
{
    Mesh mesh;
    for (int32_t index : {4, -1, 65536, INT32_MAX}) {
        std::vector<int32_t> faces = kFaces;
        faces[4] = index;
        EXPECT_FALSE(mesh.Load(Write("Index.msh", datagen::EncodeMesh(kXyz, faces)).c_str(), 1.0f)) << index;
        ExpectEmpty(mesh);
    }
    // Any face on a mesh without vertices names a vertex that does not exist.
    EXPECT_FALSE(mesh.Load(Write("NoVerts.msh", datagen::EncodeMesh({}, {0, 0, 0})).c_str(), 1.0f));
    ExpectEmpty(mesh);
    // The last vertex is in range.
    std::vector<int32_t> faces = kFaces;
    faces[4] = 3;
    EXPECT_TRUE(mesh.Load(Write("Last.msh", datagen::EncodeMesh(kXyz, faces)).c_str(), 1.0f));
}

TEST_F(MeshFiles, FailedLoadsLeaveNoFileOpen)
{
    std::vector<uint8_t> negative = datagen::EncodeMesh(kXyz, kFaces);
    PutInt(negative, 3, -1);
    std::vector<int32_t> badFaces = kFaces;
    badFaces[0] = 9;
    const std::vector<std::string> paths = {
        Write("Tag.msh", {'E', 'M', 'X', 0, 0, 0, 0, 0, 0, 0, 0}),
        Write("Cut.msh", {'E', 'M', 'V', 1, 0, 0, 0, 0, 0}),
        Write("Neg.msh", negative),
        Write("Index.msh", datagen::EncodeMesh(kXyz, badFaces)),
    };
    const int before = OpenDescriptors();
    Mesh mesh;
    for (const std::string& path : paths) EXPECT_FALSE(mesh.Load(path.c_str(), 1.0f)) << path;
    EXPECT_EQ(before, OpenDescriptors());
}

TEST_F(MeshFiles, ReaderReadsExactlyWhatItIsAskedOrFails)
{
    const std::string path = Write("Bytes.bin", {1, 2, 3, 4, 5, 6});
    FileReader reader;
    uint8_t buffer[8] = {};
    EXPECT_FALSE(reader.Read(buffer, 1));  // nothing open
    EXPECT_EQ(-1, reader.Size());
    ASSERT_TRUE(reader.Open(path.c_str()));
    EXPECT_EQ(6, reader.Size());
    ASSERT_TRUE(reader.Read(buffer, 4));
    EXPECT_EQ(4, buffer[3]);
    EXPECT_FALSE(reader.Read(buffer, 4));  // only two bytes left
    reader.Close();
    EXPECT_FALSE(reader.Read(buffer, 1));
    reader.Close();  // closing twice is harmless
}

TEST_F(MeshFiles, ReaderOpensForReadingOnly)
{
    // A running program cannot be opened for writing (not even by root), so
    // this open succeeds only if the reader asks for read access alone.
    const fs::path self = fs::read_symlink("/proc/self/exe");
    FileReader reader;
    EXPECT_TRUE(reader.Open(self.string().c_str()));
    char magic[4] = {};
    ASSERT_TRUE(reader.Read(magic, 4));
    EXPECT_EQ(0, std::memcmp(magic, "\x7f" "ELF", 4));
}

TEST_F(MeshFiles, ReaderOpenClosesThePreviousFile)
{
    const std::string first = Write("First.bin", {1, 2, 3});
    const int before = OpenDescriptors();
    FileReader reader;
    ASSERT_TRUE(reader.Open(first.c_str()));
    EXPECT_FALSE(reader.Open((dir / "Missing.bin").string().c_str()));
    EXPECT_EQ(before, OpenDescriptors());
    uint8_t byte;
    EXPECT_FALSE(reader.Read(&byte, 1));
}

TEST_F(MeshFiles, DamagedFilesLoadConsistentlyOrFail)
{
    // Bytes changed at random (a fixed sequence): a load that succeeds gives
    // counts that fit the file and indices that name existing vertices.
    const std::vector<uint8_t> original = datagen::EncodeMesh(kXyz, kFaces);
    uint32_t state = 777;
    const auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    int loaded = 0;
    for (int round = 0; round < 200; ++round) {
        std::vector<uint8_t> bytes = original;
        bytes[next() % bytes.size()] = static_cast<uint8_t>(next());
        if (next() % 3 == 0) bytes.resize(next() % bytes.size());
        Mesh mesh;
        if (!mesh.Load(Write("Damaged.msh", bytes).c_str(), 1.0f)) {
            ExpectEmpty(mesh);
            continue;
        }
        ++loaded;
        ASSERT_LE(11 + 12 * (static_cast<size_t>(mesh.vertexCount) + mesh.faceCount), bytes.size());
        for (int i = 0; i < 3 * mesh.faceCount; ++i) {
            ASSERT_GE(mesh.faces[i], 0);
            ASSERT_LT(mesh.faces[i], mesh.vertexCount);
        }
    }
    EXPECT_GT(loaded, 0);  // a changed coordinate still loads
}
