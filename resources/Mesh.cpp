// The ".msh" mesh loader and the file reader (see Mesh.h), and the warning
// for a mesh whose coordinates no camera can frame.
#include "Mesh.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

static_assert(std::endian::native == std::endian::little,
              "the mesh file is little-endian and is read straight into memory");

FileReader::FileReader() : handle(INVALID_HANDLE_VALUE) {}

FileReader::~FileReader() { Close(); }

// Read access only: content on a read-only medium or with read-only
// permissions must still load.
bool FileReader::Open(const char* path)
{
    Close();
    handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_RANDOM_ACCESS, nullptr);
    return handle != INVALID_HANDLE_VALUE;
}

// A short read (the end of the file) counts as a failure, so that a
// truncated file never leaves part of the buffer unfilled.
bool FileReader::Read(void* buffer, DWORD byteCount)
{
    if (handle == INVALID_HANDLE_VALUE) return false;
    DWORD bytesRead = 0;
    return ReadFile(handle, buffer, byteCount, &bytesRead, nullptr) != 0 && bytesRead == byteCount;
}

int64_t FileReader::Size() const
{
    if (handle == INVALID_HANDLE_VALUE) return -1;
    DWORD high = 0;
    const DWORD low = GetFileSize(handle, &high);
    if (low == INVALID_FILE_SIZE) return -1;  // unknown: every count check fails
    return static_cast<int64_t>((static_cast<uint64_t>(high) << 32) | low);
}

void FileReader::Close()
{
    if (handle == INVALID_HANDLE_VALUE) return;
    CloseHandle(handle);
    handle = INVALID_HANDLE_VALUE;
}

Mesh::Mesh() : vertexCount(0), faceCount(0), vertices(nullptr), faces(nullptr) {}

Mesh::~Mesh() { Free(); }

void Mesh::Free()
{
    std::free(vertices);
    std::free(faces);
    vertices = nullptr;
    faces = nullptr;
    vertexCount = 0;
    faceCount = 0;
}

namespace {
const int64_t kTagBytes = 3;
const int64_t kCountBytes = 4;
const int64_t kRecordBytes = 12;  // three floats or three indices
const int64_t kMaxBlockBytes = 0xFFFFFFFF;  // what one read can deliver
}  // namespace

namespace {

// Coordinates that no camera of the show can frame: what they shape will not
// show. The mesh still loads (its file is sound); a warning on stderr, once
// a file, says why an object may be missing.
const float kAbsurdCoordinate = 1.0e6f;

void WarnOfAbsurdVertices(const char* path, const float* vertices, int vertexCount)
{
    static std::set<std::string> warned;
    for (int64_t i = 0; i < 3 * static_cast<int64_t>(vertexCount); ++i) {
        if (std::isfinite(vertices[i]) && std::fabs(vertices[i]) <= kAbsurdCoordinate) continue;
        if (warned.insert(path).second)
            std::fprintf(stderr, "Mesh: warning: %s has vertex coordinates that are not finite or beyond %g; "
                                 "what they shape will not show.\n",
                         path, static_cast<double>(kAbsurdCoordinate));
        return;
    }
}

}  // namespace

// Every count is checked against the file's size before anything is
// allocated, so a corrupt count can neither over-allocate nor be half-read.
bool Mesh::Load(const char* path, float scale)
{
    Free();
    FileReader file;
    if (!file.Open(path)) return false;
    const int64_t fileSize = file.Size();

    char tag[kTagBytes];
    if (!file.Read(tag, kTagBytes) || tag[0] != 'E' || tag[1] != 'M' || tag[2] != 'V') return false;

    int32_t count = 0;
    if (!file.Read(&count, kCountBytes) || count < 0) return false;
    const int64_t vertexBytes = kRecordBytes * count;
    if (vertexBytes > kMaxBlockBytes || kTagBytes + 2 * kCountBytes + vertexBytes > fileSize) return false;
    vertexCount = count;
    if (vertexCount > 0) {
        vertices = static_cast<float*>(std::malloc(static_cast<size_t>(vertexBytes)));
        if (!vertices || !file.Read(vertices, static_cast<DWORD>(vertexBytes))) {
            Free();
            return false;
        }
        for (int64_t i = 0; i < 3 * static_cast<int64_t>(vertexCount); ++i) vertices[i] *= scale;
    }

    if (!file.Read(&count, kCountBytes) || count < 0) {
        Free();
        return false;
    }
    const int64_t faceBytes = kRecordBytes * count;
    if (faceBytes > kMaxBlockBytes || kTagBytes + 2 * kCountBytes + vertexBytes + faceBytes > fileSize) {
        Free();
        return false;
    }
    faceCount = count;
    if (faceCount > 0) {
        faces = static_cast<int32_t*>(std::malloc(static_cast<size_t>(faceBytes)));
        if (!faces || !file.Read(faces, static_cast<DWORD>(faceBytes))) {
            Free();
            return false;
        }
        for (int64_t i = 0; i < 3 * static_cast<int64_t>(faceCount); ++i) {
            if (faces[i] < 0 || faces[i] >= vertexCount) {
                Free();
                return false;
            }
        }
    }
    WarnOfAbsurdVertices(path, vertices, vertexCount);
    return true;  // the reader closes the file
}
