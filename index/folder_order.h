#pragma once
// The order of a path sort's folders, taken from the folder tree instead of
// from a key of every folder's whole text.
//
// A folder's text is its parent's, a backslash and its name, so the primary
// weights that start its key are its parent's, the backslash's and its
// name's; keys compare on those first, and a run of weights that starts a
// longer one orders first, as the section mark after it is below every
// weight. Below one folder, then, a child's own key starts with the child's
// weights and the section mark, and the keys of everything below the child
// with its weights and the backslash's. Ordering these "blocks" of each
// folder's children, and walking the tree in that order, gives the order of
// all folders -- except where one block's weights start another's (names
// equal but for case or set-aside marks, like "ab" and "a-b"): the folders of
// such a run of blocks are ordered on their whole keys.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "index/volume_index.h"

class CCollationKeys;
class CSearchWorkers;

// Room kept free below a folder text: the root, the lost-folder marker and
// the separators of GetFullPath can never need more.
constexpr size_t kPathSlack = 64;
// Deepest folder chain composed; deeper ones are left to GetFullPath.
constexpr int kMaxComposedDepth = 250;

class CFolderOrder {
public:
    enum class Outcome { Ranked, Declined, Aborted };
    static constexpr uint32_t kNone = 0xFFFFFFFFu;

    // `stop` is polled in long loops.
    CFolderOrder(const CCollationKeys& table, CSearchWorkers& workers, unsigned shares, volatile LONG* stop);

    // Adds the folders [begin, end) of the rows' folders (distinct (volume,
    // slot) pairs; a volume is an index into `volumes`) and every folder above
    // them to the tree. Reads records: call under the record lock.
    // `shares` (at most the constructor's) is for one short round: only
    // processors idle now are worth waking for it.
    void Take(const std::vector<const CVolumeIndex*>& volumes, const uint16_t* volumeOf, const uint32_t* slotOf,
              size_t begin, size_t end, unsigned shares);

    // Links what was taken into a tree, once every folder was taken. Names and
    // volumes stay where they are while a sort runs, so no lock is needed
    // from here on. False when the keys cannot be built from the names.
    bool Link(const std::vector<const CVolumeIndex*>& volumes, const uint16_t* volumeOf, const uint32_t* slotOf,
              size_t folderCount);

    // Length of row folder f's text, or kNone when the tree gives it none (a
    // lost folder, a loop, a parent that is a file, a path near the length
    // limit, a name whose weights are not plain): its rows need another text.
    uint32_t TextLength(size_t f) const;
    std::string Text(size_t f) const { return NodeText(folderNode_[f]); }

    // Ranks the row folders that have a text, and the `others` texts, in one
    // order: equal ranks for texts lstrcmpiA calls equal. Declined when the
    // order could not be confirmed with lstrcmpiA.
    Outcome Rank(const std::vector<std::string>& others, std::vector<uint32_t>& folderRank,
                 std::vector<uint32_t>& otherRank, uint32_t* ranks);

private:
    struct Node {
        const char* name;  // a root: the volume's root text
        uint32_t nameLength;
        uint32_t slot, father;  // father: the slot its record names
        uint32_t parent;        // node
        uint32_t primaryAt, primaryLength;
        uint32_t length;  // of its text; kNone when it has none
        uint32_t folder;  // the row folder it is, or kNone
        uint16_t volume;
        uint8_t share;     // where its primary weights are
        uint8_t broken;    // no record, not a folder, no name, weights not plain
        uint8_t open;      // has children with texts
    };
    // A place in the whole order: a folder's node or another text, marked
    // when its text equals the one before.
    struct Item {
        uint32_t index;
        bool other, same;
    };
    struct Taking;
    struct Linking;
    struct Confirming;
    static void ConfirmShare(void* context, unsigned share);
    static void TakeShare(void* context, unsigned share);
    static void LinkShare(void* context, unsigned share);
    static void SortChildren(void* context, unsigned share);

    const unsigned char* Primary(const Node& n) const {
        return reinterpret_cast<const unsigned char*>(primaries_[n.share].data()) + n.primaryAt;
    }
    // What the walk orders among one node's children: a child itself
    // (terminal), or everything below a child; its weights come first in the
    // keys of all it holds, those of its name then the section mark, or then
    // the backslash's.
    struct Block {
        uint32_t node;
        uint32_t terminal;
        uint32_t run;  // blocks from here whose weights start with this one's (0 within such a run)
    };
    size_t BlockLength(const Block& b) const;
    unsigned char BlockByte(const Block& b, size_t k) const;
    int CompareBlocks(const Block& a, const Block& b) const;
    bool BlockStarts(const Block& whole, const Block& start) const;
    std::string NodeText(uint32_t node) const;
    bool AppendNodeKey(uint32_t node, std::string& out, std::vector<wchar_t>& wide) const;
    Outcome Walk();
    Outcome OrderGroup(const Block* blocks, size_t count);

    const CCollationKeys& table_;
    CSearchWorkers& workers_;
    const unsigned shares_;
    volatile LONG* const stop_;

    // By volume: the node of each slot taken, as share << 24 | index + 1, in
    // pages the system hands out zeroed: only the pages the walks touch cost
    // anything, where clearing an entry per record up front would.
    class SlotTable {
    public:
        explicit SlotTable(size_t count);
        ~SlotTable();
        SlotTable(const SlotTable&) = delete;
        SlotTable& operator=(const SlotTable&) = delete;
        size_t size() const { return size_; }
        LONG& operator[](size_t slot) { return entries_[slot]; }
        LONG operator[](size_t slot) const { return entries_[slot]; }

    private:
        LONG* entries_ = nullptr;
        size_t size_ = 0;  // 0 when the pages could not be had
    };
    std::vector<std::unique_ptr<SlotTable>> taken_;
    std::vector<std::vector<Node>> shareNodes_;
    bool overflow_ = false;

    std::vector<Node, DefaultInitAllocator<Node>> nodes_;  // folders taken, then one root per volume, then the top
    std::vector<std::string> primaries_;  // by share
    std::vector<uint32_t> childStart_, children_;  // children of node i: children_[childStart_[i], childStart_[i + 1])
    std::vector<uint32_t> validEnd_;               // by node: where its children with texts end
    std::vector<Block> blocks_;        // node i's from 2 * childStart_[i], in order
    std::vector<uint32_t> blockEnd_;   // by node
    std::string separator_;            // the backslash's weights
    std::vector<uint32_t> folderNode_;             // by row folder

    // The walk's order of row folders' nodes; same_[i]: equal to the one before.
    std::vector<uint32_t> order_;
    std::vector<uint8_t> same_;
};

// Counts the path sorts ordered on the folder tree: a diagnostic.
extern volatile LONG g_PathSortsOnTree;
