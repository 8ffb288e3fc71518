#include "index/folder_order.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include "index/collation.h"
#include "index/index_record.h"
#include "index/search_workers.h"
#include "index/volume_index.h"
#include "platform/trace.h"

volatile LONG g_PathSortsOnTree = 0;

namespace {

constexpr LONG kGrain = 1024;
constexpr LONG kBeingTaken = -1;  // in taken_: claimed, its node not yet stored
constexpr uint32_t kMaxShareNodes = (1u << 24) - 2;
// Neighbours confirmed with lstrcmpiA: all of them up to this many texts,
// else this many spread over the order.
constexpr size_t kConfirmAll = 2048;
constexpr size_t kConfirmSampled = 512;

} // namespace

struct CFolderOrder::Taking {
    CFolderOrder* order;
    const std::vector<const CVolumeIndex*>* volumes;
    const uint16_t* volumeOf;
    const uint32_t* slotOf;
    size_t begin, end;
    volatile LONG next;
};

struct CFolderOrder::Linking {
    CFolderOrder* order;
    std::vector<size_t> base;  // by share: its nodes' first number
    volatile LONG next;
};

CFolderOrder::CFolderOrder(const CCollationKeys& table, CSearchWorkers& workers, unsigned shares, volatile LONG* stop)
    : table_(table), workers_(workers), shares_(std::max(1u, std::min(shares, 255u))), stop_(stop),
      shareNodes_(shares_), primaries_(shares_) {}

CFolderOrder::SlotTable::SlotTable(size_t count) {
    if (count == 0) return;
    entries_ = static_cast<LONG*>(::VirtualAlloc(nullptr, count * sizeof(LONG), MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (entries_) size_ = count;
    else platform::TraceLastError("CFolderOrder: VirtualAlloc");
}

CFolderOrder::SlotTable::~SlotTable() {
    if (entries_) ::VirtualFree(entries_, 0, MEM_RELEASE);
}

void CFolderOrder::Take(const std::vector<const CVolumeIndex*>& volumes, const uint16_t* volumeOf,
                        const uint32_t* slotOf, size_t begin, size_t end, unsigned shares) {
    if (taken_.size() < volumes.size()) taken_.resize(volumes.size());
    for (size_t v = 0; v < volumes.size(); ++v) {
        // Sized once: slots added while the sort runs are left to GetFullPath.
        if (!taken_[v] && volumes[v]) taken_[v].reset(new SlotTable(volumes[v]->RecordCount()));
    }
    Taking t{this, &volumes, volumeOf, slotOf, begin, end, 0};
    workers_.Run(&CFolderOrder::TakeShare, &t, std::max(1u, std::min(shares, shares_)));
}

// Follows each folder's chain up until a folder some share took already; the
// share that took it follows the rest.
void CFolderOrder::TakeShare(void* context, unsigned share) {
    Taking& t = *static_cast<Taking*>(context);
    CFolderOrder& o = *t.order;
    std::vector<Node>& mine = o.shareNodes_[share];
    size_t from, to;
    while (NextGrain(t.next, t.begin, t.end, kGrain, &from, &to)) {
        for (size_t f = from; f < to; ++f) {
            const uint16_t v = t.volumeOf[f];
            const CVolumeIndex* volume = v < t.volumes->size() ? (*t.volumes)[v] : nullptr;
            if (!volume || v >= o.taken_.size() || !o.taken_[v]) continue;
            SlotTable& taken = *o.taken_[v];
            for (uint32_t slot = t.slotOf[f]; slot != kRootSlot && slot < taken.size();) {
                if (::InterlockedCompareExchange(&taken[slot], kBeingTaken, 0) != 0) break;
                if (mine.size() >= kMaxShareNodes) {
                    o.overflow_ = true;
                    break;
                }
                const IndexRecord* record = volume->GetRecord(slot);
                const char* name = record ? volume->GetName(*record) : nullptr;
                Node n = {};
                n.name = name;
                n.nameLength = name ? static_cast<uint32_t>(std::strlen(name)) : 0;
                n.slot = slot;
                n.father = record ? record->FatherID : 0;
                n.volume = v;
                n.share = static_cast<uint8_t>(share);
                n.broken = !record || !(record->Flags & IRF_DIRECTORY) || !name || !*name;
                mine.push_back(n);
                taken[slot] = static_cast<LONG>((share << 24) | static_cast<uint32_t>(mine.size()));
                if (n.broken) break;
                slot = n.father;
            }
        }
    }
}

// Each share: the parents and the names' weights of its own nodes.
void CFolderOrder::LinkShare(void* context, unsigned share) {
    Linking& l = *static_cast<Linking*>(context);
    CFolderOrder& o = *l.order;
    const size_t rootBase = l.base.back();
    std::vector<Node>& mine = o.shareNodes_[share];
    std::copy(mine.begin(), mine.end(), o.nodes_.begin() + l.base[share]);
    std::vector<Node>().swap(mine);
    std::string& block = o.primaries_[share];
    std::vector<wchar_t> wide;
    auto weigh = [&](Node& n) {
        n.share = static_cast<uint8_t>(share);
        n.primaryAt = static_cast<uint32_t>(block.size());
        if (!n.name || !o.table_.AppendPrimary(n.name, n.nameLength, block, wide)) n.broken = 1;
        n.primaryLength = static_cast<uint32_t>(block.size() - n.primaryAt);
    };
    for (size_t i = l.base[share]; i < l.base[share + 1]; ++i) {
        Node& n = o.nodes_[i];
        n.parent = kNone;
        n.length = kNone;
        n.folder = kNone;
        weigh(n);
        if (n.broken) continue;
        if (n.father == kRootSlot) {
            n.parent = static_cast<uint32_t>(rootBase + n.volume);
            continue;
        }
        if (n.volume >= o.taken_.size() || !o.taken_[n.volume]) continue;
        const SlotTable& taken = *o.taken_[n.volume];
        const uint32_t code = n.father < taken.size() ? static_cast<uint32_t>(taken[n.father]) : 0;
        if (code == 0 || code == static_cast<uint32_t>(kBeingTaken)) continue;
        n.parent = static_cast<uint32_t>(l.base[code >> 24] + (code & 0xFFFFFF) - 1);
    }
    // The roots are weighed by the last share.
    if (share + 1 == o.shares_) {
        for (size_t i = rootBase; i + 1 < o.nodes_.size(); ++i) weigh(o.nodes_[i]);
    }
}

size_t CFolderOrder::BlockLength(const Block& b) const {
    return nodes_[b.node].primaryLength + (b.terminal ? 1 : separator_.size());
}

unsigned char CFolderOrder::BlockByte(const Block& b, size_t k) const {
    const Node& n = nodes_[b.node];
    if (k < n.primaryLength) return Primary(n)[k];
    return b.terminal ? 1 : static_cast<unsigned char>(separator_[k - n.primaryLength]);
}

int CFolderOrder::CompareBlocks(const Block& a, const Block& b) const {
    const size_t shorter = std::min(nodes_[a.node].primaryLength, nodes_[b.node].primaryLength);
    const int c = CompareBytes(Primary(nodes_[a.node]), Primary(nodes_[b.node]), shorter);
    if (c != 0) return c;
    const size_t la = BlockLength(a), lb = BlockLength(b);
    for (size_t k = shorter; k < std::min(la, lb); ++k) {
        const unsigned char x = BlockByte(a, k), y = BlockByte(b, k);
        if (x != y) return x < y ? -1 : 1;
    }
    return la < lb ? -1 : la > lb ? 1 : 0;
}

bool CFolderOrder::BlockStarts(const Block& whole, const Block& start) const {
    const size_t length = BlockLength(start);
    if (length > BlockLength(whole)) return false;
    const size_t names = std::min<size_t>(nodes_[start.node].primaryLength, nodes_[whole.node].primaryLength);
    if (MatchingBytes(Primary(nodes_[whole.node]), Primary(nodes_[start.node]), names) != names) return false;
    for (size_t k = names; k < length; ++k) {
        if (BlockByte(whole, k) != BlockByte(start, k)) return false;
    }
    return true;
}

// Each node's blocks, in order: a child that is a row folder is one (its
// weights, then the section mark), what lies below a child another (its
// weights, then the backslash's). Share i takes nodes a grain at a time.
void CFolderOrder::SortChildren(void* context, unsigned /*share*/) {
    Linking& l = *static_cast<Linking*>(context);
    CFolderOrder& o = *l.order;
    const size_t count = o.nodes_.size();
    size_t from, to;
    while (NextGrain(l.next, 0, count, 4 * kGrain, &from, &to)) {
        for (size_t i = from; i < to; ++i) {
            uint32_t* first = o.children_.data() + o.childStart_[i];
            uint32_t* last = o.children_.data() + o.childStart_[i + 1];
            uint32_t* valid = std::partition(first, last, [&o](uint32_t c) { return o.nodes_[c].length != kNone; });
            o.validEnd_[i] = static_cast<uint32_t>(valid - o.children_.data());
            Block* blocks = o.blocks_.data() + 2 * size_t{o.childStart_[i]};
            size_t n = 0;
            for (const uint32_t* c = first; c != valid; ++c) {
                if (o.nodes_[*c].folder != kNone) blocks[n++] = Block{*c, 1, 1};
                if (o.nodes_[*c].open) blocks[n++] = Block{*c, 0, 1};
            }
            o.blockEnd_[i] = static_cast<uint32_t>(2 * size_t{o.childStart_[i]} + n);
            if (n > 1) {
                std::sort(blocks, blocks + n, [&o](const Block& a, const Block& b) {
                    const int c = o.CompareBlocks(a, b);
                    return c != 0 ? c < 0 : a.node != b.node ? a.node < b.node : a.terminal > b.terminal;
                });
                // Runs of blocks that start with their run's first: those
                // that start with a block follow it in this order.
                for (size_t k = 0; k < n;) {
                    size_t after = k + 1;
                    while (after < n && o.BlockStarts(blocks[after], blocks[k])) blocks[after++].run = 0;
                    blocks[k].run = static_cast<uint32_t>(after - k);
                    k = after;
                }
            }
        }
    }
}

bool CFolderOrder::Link(const std::vector<const CVolumeIndex*>& volumes, const uint16_t* volumeOf,
                        const uint32_t* slotOf, size_t folderCount) {
    if (overflow_) return false;
    Linking l;
    l.order = this;
    l.next = 0;
    std::vector<wchar_t> wide;
    // The tree's order stands on the backslash having weights of its own.
    separator_.clear();
    if (!table_.AppendPrimary("\\", 1, separator_, wide) || separator_.empty()) return false;

    l.base.assign(1, 0);
    for (const std::vector<Node>& nodes : shareNodes_) l.base.push_back(l.base.back() + nodes.size());
    const size_t rootBase = l.base.back();
    // Each share moves its own nodes in, below.
    nodes_.resize(rootBase + volumes.size() + 1);
    const uint32_t top = static_cast<uint32_t>(rootBase + volumes.size());
    for (size_t v = 0; v < volumes.size(); ++v) {
        Node root = {};
        const std::string* text = volumes[v] ? &volumes[v]->Root() : nullptr;
        root.name = text ? text->c_str() : "";
        root.nameLength = text && !text->empty() ? static_cast<uint32_t>(text->size() - 1) : 0;  // without its backslash
        root.slot = kRootSlot;
        root.parent = top;
        root.length = kNone;
        root.folder = kNone;
        root.volume = static_cast<uint16_t>(v);
        root.broken = !volumes[v];
        nodes_[rootBase + v] = root;
    }
    Node last = {};
    last.parent = kNone;
    last.length = kNone;
    last.folder = kNone;
    last.name = "";
    nodes_[top] = last;
    workers_.Run(&CFolderOrder::LinkShare, &l, shares_);

    // Children, by a count of each parent's.
    const size_t count = nodes_.size();
    childStart_.assign(count + 1, 0);
    for (const Node& n : nodes_) {
        if (n.parent != kNone) ++childStart_[n.parent + 1];
    }
    std::partial_sum(childStart_.begin(), childStart_.end(), childStart_.begin());
    children_.resize(childStart_[count]);
    {
        std::vector<uint32_t> fill(childStart_.begin(), childStart_.end() - 1);
        for (size_t i = 0; i < count; ++i) {
            if (nodes_[i].parent != kNone) children_[fill[nodes_[i].parent]++] = static_cast<uint32_t>(i);
        }
    }

    // Texts from the top down, as ComposeFolder would write them: a node
    // has one when its parent has one and the chain stays within the limits.
    // Nodes never reached (loops, chains through a broken folder) have none.
    std::vector<uint32_t> depth(count, 0);
    std::vector<uint32_t> queue;
    queue.reserve(count);
    for (uint32_t r = static_cast<uint32_t>(rootBase); r < top; ++r) {
        Node& root = nodes_[r];
        if (root.broken) continue;
        root.length = root.nameLength;
        queue.push_back(r);
    }
    for (size_t q = 0; q < queue.size(); ++q) {
        const uint32_t p = queue[q];
        for (uint32_t k = childStart_[p]; k < childStart_[p + 1]; ++k) {
            const uint32_t c = children_[k];
            Node& n = nodes_[c];
            const size_t length = size_t{nodes_[p].length} + 1 + n.nameLength;
            depth[c] = depth[p] + 1;
            if (n.broken || depth[c] > static_cast<uint32_t>(kMaxComposedDepth) ||
                length + kPathSlack >= CVolumeIndex::kPathBufferSize) {
                continue;
            }
            n.length = static_cast<uint32_t>(length);
            nodes_[p].open = 1;
            queue.push_back(c);
        }
    }
    folderNode_.assign(folderCount, kNone);
    for (size_t f = 0; f < folderCount; ++f) {
        const uint16_t v = volumeOf[f];
        if (v >= volumes.size()) continue;
        uint32_t node = kNone;
        if (slotOf[f] == kRootSlot) {
            node = static_cast<uint32_t>(rootBase + v);
        } else if (v < taken_.size() && taken_[v] && slotOf[f] < taken_[v]->size()) {
            const uint32_t code = static_cast<uint32_t>((*taken_[v])[slotOf[f]]);
            if (code != 0 && code != static_cast<uint32_t>(kBeingTaken))
                node = static_cast<uint32_t>(l.base[code >> 24] + (code & 0xFFFFFF) - 1);
        }
        if (node == kNone || nodes_[node].length == kNone) continue;
        folderNode_[f] = node;
        nodes_[node].folder = static_cast<uint32_t>(f);
    }
    validEnd_.assign(count, 0);
    blockEnd_.assign(count, 0);
    blocks_.resize(2 * children_.size());
    l.next = 0;
    workers_.Run(&CFolderOrder::SortChildren, &l, shares_);
    taken_.clear();
    return true;
}

uint32_t CFolderOrder::TextLength(size_t f) const {
    return folderNode_[f] == kNone ? kNone : nodes_[folderNode_[f]].length;
}

std::string CFolderOrder::NodeText(uint32_t node) const {
    std::vector<uint32_t> chain;
    for (uint32_t n = node; nodes_[n].slot != kRootSlot; n = nodes_[n].parent) chain.push_back(n);
    const Node& root = nodes_[chain.empty() ? node : nodes_[chain.back()].parent];
    std::string text(root.name, root.nameLength);
    for (size_t i = chain.size(); i-- > 0;) {
        text.push_back('\\');
        text.append(nodes_[chain[i]].name, nodes_[chain[i]].nameLength);
    }
    return text;
}

bool CFolderOrder::AppendNodeKey(uint32_t node, std::string& out, std::vector<wchar_t>& wide) const {
    const std::string text = NodeText(node);
    return table_.AppendKey(text.data(), text.size(), out, wide);
}

// The row folders of a run of blocks whose weights start one another,
// ordered on their whole keys.
CFolderOrder::Outcome CFolderOrder::OrderGroup(const Block* blocks, size_t count) {
    std::vector<uint32_t> items, stack;
    for (size_t b = 0; b < count; ++b) {
        const uint32_t node = blocks[b].node;
        if (blocks[b].terminal) {
            items.push_back(node);
            continue;
        }
        for (uint32_t k = childStart_[node]; k < validEnd_[node]; ++k) stack.push_back(children_[k]);
        while (!stack.empty()) {
            const uint32_t n = stack.back();
            stack.pop_back();
            if (nodes_[n].folder != kNone) items.push_back(n);
            for (uint32_t k = childStart_[n]; k < validEnd_[n]; ++k) stack.push_back(children_[k]);
        }
    }
    std::vector<std::string> keys(items.size());
    std::vector<wchar_t> wide;
    for (size_t i = 0; i < items.size(); ++i) {
        if ((i & 1023) == 1023 && *stop_) return Outcome::Aborted;
        if (!AppendNodeKey(items[i], keys[i], wide)) return Outcome::Declined;
    }
    std::vector<uint32_t> byKey(items.size());
    std::iota(byKey.begin(), byKey.end(), 0u);
    std::sort(byKey.begin(), byKey.end(), [&](uint32_t a, uint32_t b) {
        const int c = CompareKeys(keys[a], keys[b]);
        return c != 0 ? c < 0 : items[a] < items[b];
    });
    for (size_t i = 0; i < byKey.size(); ++i) {
        order_.push_back(items[byKey[i]]);
        same_.push_back(i > 0 && CompareKeys(keys[byKey[i - 1]], keys[byKey[i]]) == 0);
    }
    return Outcome::Ranked;
}

// Every row folder's node in order: a walk of the tree taking each node's
// blocks in their order; a run of blocks whose weights start one another is
// ordered whole.
CFolderOrder::Outcome CFolderOrder::Walk() {
    struct Frame {
        uint32_t next, end;  // the node's blocks left
    };
    order_.clear();
    same_.clear();
    order_.reserve(folderNode_.size());
    same_.reserve(folderNode_.size());
    const uint32_t top = static_cast<uint32_t>(nodes_.size() - 1);
    std::vector<Frame> stack = {Frame{2 * childStart_[top], blockEnd_[top]}};
    size_t steps = 0;
    while (!stack.empty()) {
        if ((++steps & 4095) == 0 && *stop_) return Outcome::Aborted;
        Frame& frame = stack.back();
        if (frame.next >= frame.end) {
            stack.pop_back();
            continue;
        }
        const uint32_t first = frame.next, run = blocks_[first].run;
        frame.next = first + run;
        if (run > 1) {
            const Outcome o = OrderGroup(blocks_.data() + first, run);
            if (o != Outcome::Ranked) return o;
            continue;
        }
        const Block& block = blocks_[first];
        if (block.terminal) {
            order_.push_back(block.node);
            same_.push_back(0);
        } else {
            stack.push_back(Frame{2 * childStart_[block.node], blockEnd_[block.node]});
        }
    }
    return Outcome::Ranked;
}

struct CFolderOrder::Confirming {
    const CFolderOrder* order;
    const std::vector<Item>* items;
    const std::vector<std::string>* others;
    size_t step;  // between the pairs checked
    unsigned shares;
    volatile LONG disagreed;
};

void CFolderOrder::ConfirmShare(void* context, unsigned share) {
    Confirming& c = *static_cast<Confirming*>(context);
    const CFolderOrder& o = *c.order;
    const std::vector<Item>& items = *c.items;
    auto textOf = [&](const Item& item) { return item.other ? (*c.others)[item.index] : o.NodeText(item.index); };
    const size_t checks = items.size() > 1 ? (items.size() - 2) / c.step + 1 : 0;  // pairs ending at 1, 1 + step, ...
    std::string system, mine;
    std::vector<wchar_t> wide;
    for (size_t k = checks * share / c.shares; k < checks * (share + 1) / c.shares && !c.disagreed; ++k) {
        const size_t i = 1 + k * c.step;
        const std::string a = textOf(items[i - 1]), b = textOf(items[i]);
        const int compared = ::lstrcmpiA(a.c_str(), b.c_str());
        bool agrees = compared <= 0 && (compared == 0) == items[i].same;
        if (agrees && !items[i].other && k % 8 == 0) {
            system.clear();
            mine.clear();
            CCollationKeys::AppendSystemKey(o.table_.Locale(), b.data(), b.size(), system);
            agrees = o.table_.AppendKey(b.data(), b.size(), mine, wide) && mine == system;
        }
        if (!agrees) ::InterlockedExchange(&c.disagreed, 1);
    }
}

CFolderOrder::Outcome CFolderOrder::Rank(const std::vector<std::string>& others, std::vector<uint32_t>& folderRank,
                                         std::vector<uint32_t>& otherRank, uint32_t* ranks) {
    const Outcome walked = Walk();
    if (walked != Outcome::Ranked) return walked;

    // The other texts (rows whose folder has no text here) go in where their
    // keys fall among the folders' keys, found by halving.
    std::vector<std::string> otherKeys(others.size());
    std::vector<wchar_t> wide;
    for (size_t i = 0; i < others.size(); ++i) {
        if (!table_.AppendKey(others[i].data(), others[i].size(), otherKeys[i], wide))
            CCollationKeys::AppendSystemKey(table_.Locale(), others[i].data(), others[i].size(), otherKeys[i]);
    }
    std::vector<uint32_t> otherOrder(others.size());
    std::iota(otherOrder.begin(), otherOrder.end(), 0u);
    std::sort(otherOrder.begin(), otherOrder.end(), [&](uint32_t a, uint32_t b) {
        const int c = CompareKeys(otherKeys[a], otherKeys[b]);
        return c != 0 ? c < 0 : a < b;
    });
    std::string probe;
    auto folderKey = [&](size_t at) -> const std::string& {
        probe.clear();
        if (!AppendNodeKey(order_[at], probe, wide)) probe.clear();
        return probe;
    };

    // The whole order of folders and other texts.
    std::vector<Item> items;
    items.reserve(order_.size() + others.size());
    size_t at = 0;              // the next folder to place
    bool afterOther = false;    // the last item placed is an other text...
    bool otherEqualsAt = false; // ...whose key equals folder at's
    auto placeFolders = [&](size_t upTo) {
        for (; at < upTo; ++at) {
            items.push_back(Item{order_[at], false, afterOther ? otherEqualsAt : at > 0 && same_[at] != 0});
            afterOther = false;
        }
    };
    for (size_t k = 0; k < otherOrder.size(); ++k) {
        const std::string& key = otherKeys[otherOrder[k]];
        size_t low = at, high = order_.size();
        while (low < high) {
            const size_t mid = low + (high - low) / 2;
            const std::string& folder = folderKey(mid);
            if (folder.empty()) return Outcome::Declined;
            if (CompareKeys(folder, key) < 0) low = mid + 1;
            else high = mid;
        }
        placeFolders(low);
        // A folder placed last is below this text; an other text may equal it.
        const bool same = afterOther && CompareKeys(otherKeys[items.back().index], key) == 0;
        items.push_back(Item{otherOrder[k], true, same});
        afterOther = true;
        otherEqualsAt = at < order_.size() && CompareKeys(folderKey(at), key) == 0;
    }
    placeFolders(order_.size());

    // lstrcmpiA confirms neighbours, and the table's keys are compared with
    // the system's for a few folders, on every share.
    const size_t n = items.size();
    Confirming confirm{this, &items, &others, n <= kConfirmAll ? 1 : n / kConfirmSampled, shares_, 0};
    workers_.Run(&CFolderOrder::ConfirmShare, &confirm, shares_);
    if (confirm.disagreed) {
        platform::Trace("CFolderOrder: the order disagrees with lstrcmpiA or the system's keys; keying the folders whole");
        return Outcome::Declined;
    }

    uint32_t rank = 0;
    for (size_t i = 0; i < n; ++i) {
        if (i > 0 && !items[i].same) ++rank;
        if (items[i].other) otherRank[items[i].index] = rank;
        else folderRank[nodes_[items[i].index].folder] = rank;
    }
    *ranks = n > 0 ? rank + 1 : 0;
    ::InterlockedIncrement(&g_PathSortsOnTree);
    return Outcome::Ranked;
}
