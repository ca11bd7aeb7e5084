// The mesh record loaded from ".msh" files, and the scoped file reader that
// the mesh and terrain loaders read their files with.
//
// ".msh" (little-endian, no padding): the tag "EMV", int32 vertex count V,
// V records of three float32 (x, y, z), int32 face count F, F records of three
// int32 vertex indices. Bytes after the last face are ignored.
#pragma once

#include <windows.h>

#include <cstdint>

// Owns at most one open file, read only; the destructor closes it.
class FileReader {
public:
    FileReader();
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    // Closes any open file, then opens path (a Windows path) for reading.
    bool Open(const char* path);
    // Reads exactly byteCount bytes; false if no file is open or fewer arrive.
    bool Read(void* buffer, DWORD byteCount);
    // The size of the open file in bytes, or -1 if none is open or it is unknown.
    int64_t Size() const;
    void Close();

private:
    HANDLE handle;
};

// One loaded mesh: two plain arrays owned on the C heap, null when empty.
// Effects borrow it and read the fields directly.
class Mesh {
public:
    Mesh();
    ~Mesh();
    Mesh(const Mesh&) = delete;
    Mesh& operator=(const Mesh&) = delete;

    // Empties the mesh, then reads path, multiplying every coordinate by scale.
    // False (mesh empty, file closed) when the file cannot be opened or read,
    // the tag is wrong, a count is negative or larger than the file can hold,
    // or a face names a vertex that does not exist.
    bool Load(const char* path, float scale);
    // Both counts 0, both arrays released and null.
    void Free();

    int32_t vertexCount;
    int32_t faceCount;
    float* vertices;  // x, y, z per vertex, already scaled
    int32_t* faces;   // three vertex indices per triangle, as in the file
};
