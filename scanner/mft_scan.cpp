#include "scanner/mft_scan.h"

#include <vector>

#include "platform/trace.h"
#include "scanner/recover.h"

namespace scanner {
namespace {

// The volume's own files live in the first 16 slots ($MFT, $Bitmap, ...,
// with the root at 5) and below $Extend (slot 11); users never look for them.
constexpr uint32_t kFirstOrdinarySlot = 16;

class AnswerSink : public MftSink {
public:
    AnswerSink(ScanAnswer& answer, int64_t localBias) : answer_(answer), bias_(localBias) {}

    void OnEntry(const MftEntry& e) override {
        if (Hidden(e)) {
            Hide(e.slot);
            return;
        }
        IndexRecord r = {};
        r.FatherID = e.parentSlot;
        r.Flags = static_cast<uint8_t>((e.inUse ? IRF_EXISTS : 0) | (e.isDirectory ? IRF_DIRECTORY : 0));
        r.Time1 = Local(e.creationTime);
        r.Time2 = Local(e.modificationTime);
        r.Time3 = Local(e.accessTime);
        r.Size = e.size;
        // The slot finds the record again when the file is recovered.
        r.RecoverHint = e.slot;
        name_ = NameToAnsi(e.name, e.nameLength);
        if (!answer_.SetRecord(e.slot, r, name_.data(), name_.size())) {
            failed_ = true;
            return;
        }
        if (e.slot != ntfs::kRootSlot) ++files_;
    }

    size_t Files() const { return files_; }
    bool Failed() const { return failed_; }

private:
    bool Hidden(const MftEntry& e) const {
        if (e.slot == ntfs::kRootSlot) return false;
        if (e.slot < kFirstOrdinarySlot) return true;
        // Entries below a hidden folder ($Extend and its children), which
        // on every volume come after their folder in the table.
        return e.parentSlot != e.slot && e.parentSlot < hidden_.size() && hidden_[e.parentSlot];
    }
    void Hide(uint32_t slot) {
        if (slot >= hidden_.size()) hidden_.resize(slot + 1, false);
        hidden_[slot] = true;
    }
    FILETIME Local(uint64_t utc) const {
        if (utc == 0) return MakeFileTime(0);
        return MakeFileTime(static_cast<uint64_t>(static_cast<int64_t>(utc) + bias_));
    }

    ScanAnswer& answer_;
    int64_t bias_;
    std::string name_;
    std::vector<bool> hidden_;
    size_t files_ = 0;
    bool failed_ = false;
};

// FileTimeToLocalFileTime applies today's offset to every time; taking it
// once gives the same values without a call per record.
int64_t LocalBias() {
    FILETIME now, local;
    ::GetSystemTimeAsFileTime(&now);
    if (!::FileTimeToLocalFileTime(&now, &local)) return 0;
    return static_cast<int64_t>(FileTimeValue(local) - FileTimeValue(now));
}

} // namespace

bool ReadMftIntoAnswer(SectorSource& source, ScanAnswer& answer, MftScanStats* stats) {
    answer.Clear();
    NtfsVolume volume(source);
    if (!volume.Open()) return false;
    if (!answer.Reserve(volume.RecordCount())) return false;
    MftReader reader(volume);
    AnswerSink sink(answer, LocalBias());
    if (!reader.Scan(sink, stats) || sink.Failed()) {
        answer.Clear();
        return false;
    }
    if (sink.Files() == 0) {
        // Nothing beyond the volume's own files: an empty or unreadable
        // table. Another reader may see more.
        answer.Clear();
        return false;
    }
    return true;
}

bool ReadVolumeByMft(const char* root, ScanAnswer& answer) {
    if (!root || !root[0] || root[1] != ':') return false;
    HandleSectorSource source;
    if (!source.OpenVolume(static_cast<wchar_t>(static_cast<unsigned char>(root[0])))) return false;
    MftScanStats stats;
    if (!ReadMftIntoAnswer(source, answer, &stats)) {
        platform::Trace("scanner: %s has no readable master file table", root);
        return false;
    }
    platform::Trace("scanner: %s read raw, %u records, %u damaged", root, stats.records, stats.badRecords);
    return true;
}

} // namespace scanner
