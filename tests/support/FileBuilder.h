#pragma once
// Makes data files of any shape, sound or damaged, block by block.
//
//   CFileBuilder b;                        // header "nota", no blocks
//   CTreeStreamBuilder s;
//   s.Leaf(nota::IMAGE_ROOT, "Notarium");
//   DWORD t = b.AddChain(s.Finish());      // a chain in consecutive blocks
//   b.SetTreeData(t);
//   b.SetNext(t, 12345);                   // damage it: a link out of the file
//   b.WriteTo(path);

#include "platform/Types.h"
#include "store/DataFormat.h"

#include <string>
#include <vector>

class CFileBuilder {
public:
    CFileBuilder();

    std::vector<BYTE> bytes;

    void SetTreeData(DWORD offset) { nota::PutLE32(bytes.data() + 16, offset); }
    void SetFreeList(DWORD offset) { nota::PutLE32(bytes.data() + 20, offset); }
    DWORD TreeData() const { return nota::GetLE32(bytes.data() + 16); }

    // Appends a block and returns its offset.
    DWORD AddBlock(DWORD next, WORD length, const std::vector<BYTE>& data = {});
    // Stores data as a chain of new consecutive blocks; returns the first (0 for no data).
    DWORD AddChain(const std::vector<BYTE>& data);
    // A chain in the given blocks (existing or appended as needed), in that order.
    void PutChain(const std::vector<DWORD>& blocks, const std::vector<BYTE>& data);
    // A text stream: uint32 length (text + NUL) then text and NUL.
    DWORD AddText(const std::string& text);
    // Text streams whose chains interleave, as years of editing leave them: the first blocks
    // of all texts, then the second blocks of those that have one, and so on. Returns the
    // first block of each.
    std::vector<DWORD> AddInterleavedTexts(const std::vector<std::string>& texts);

    void SetNext(DWORD block, DWORD next) { nota::PutLE32(bytes.data() + block, next); }
    void SetLength(DWORD block, WORD length) { nota::PutLE16(bytes.data() + block + 4, length); }
    DWORD NextOf(DWORD block) const { return nota::GetLE32(bytes.data() + block); }
    DWORD BlockCount() const { return static_cast<DWORD>((bytes.size() - 32) / 512); }

    void WriteTo(const std::string& path) const;
};

// Builds tree-data streams by hand.
class CTreeStreamBuilder {
public:
    // Starts an item; its children follow until End(state).
    CTreeStreamBuilder& Item(int image, const std::string& title, DWORD textData = 0);
    CTreeStreamBuilder& End(DWORD state = 0); // ends the item's children, writes its state
    CTreeStreamBuilder& Leaf(int image, const std::string& title, DWORD textData = 0,
                             DWORD state = 0) {
        return Item(image, title, textData).End(state);
    }
    // Ends the top-level list and returns the bytes.
    std::vector<BYTE> Finish();
    std::vector<BYTE> bytes;

private:
    void Word(WORD w);
    void Dword(DWORD d);
};
