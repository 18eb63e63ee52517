#include "record/list_merge.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <compare>
#include <cstring>
#include <unordered_set>

#include "record/data_files.h"

namespace holmtex {

namespace {

// ---- Knowing a page by its bytes ----

struct PageKey {
    std::uint64_t a = 0, b = 0;
    auto operator<=>(const PageKey&) const = default;
};

struct PageKeyHash {
    std::size_t operator()(const PageKey& key) const { return key.a; }
};

std::uint64_t finalMix(std::uint64_t x) {
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdULL;
    x ^= x >> 33;
    x *= 0xc4ceb9fe1a85ec53ULL;
    return x ^ (x >> 33);
}

// Two independent lanes of 64 bits, a word at a time. Each step is a bijection of the lane
// for a given word and of the word for a given lane, so two records of one length that differ
// in one word never meet; for the rest, 128 bits leave a chance of two records taken for one
// far below that of a disk error, also among a million pages.
PageKey keyOf(std::string_view bytes) {
    std::uint64_t a = 0x9e3779b97f4a7c15ULL ^ bytes.size();
    std::uint64_t b = 0x2545f4914f6cdd1dULL + bytes.size();
    const auto step = [&a, &b](std::uint64_t w) {
        a = std::rotl(a ^ (w * 0x87c37b91114253d5ULL), 31) * 0x4cf5ad432745937fULL;
        b = std::rotl(b + (w * 0x9fb21c651e98df25ULL), 27) * 0xd6e8feb86659fd93ULL;
    };
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t w;
        std::memcpy(&w, bytes.data() + i, 8);
        step(w);
    }
    if (i < bytes.size()) {
        std::uint64_t w = 0;
        std::memcpy(&w, bytes.data() + i, bytes.size() - i);
        step(w);
    }
    return {finalMix(a), finalMix(b ^ std::rotl(a, 17))};
}

// The record without its final line end: CR LF, CR, LF or none, as the reader allows.
std::string_view pageBytes(std::string_view record) {
    if (record.ends_with('\n')) record.remove_suffix(1);
    if (record.ends_with('\r')) record.remove_suffix(1);
    return record;
}

// ---- The plan ----

// The list's pages as sorted keys, and which of them a copy lacked.
struct ListPages {
    std::vector<PageKey> keys;
    std::vector<bool> lackedSomewhere;
    std::unordered_set<PageKey, PageKeyHash> taken;  // new pages already in the plan
};

// Reads records from `source` into `onPage` (the page's bytes); how the data ended: Record
// never, End, or Damaged with `damageStart`, or a read error (the errno) in `error`.
template <typename OnPage>
ReadStatus readPages(FileSource& source, std::uint64_t& damageStart, int& error, OnPage onPage) {
    RecordReader reader(source);
    ReadStatus status;
    while ((status = reader.nextRaw(1)) == ReadStatus::Record)
        onPage(pageBytes(reader.rawRecord()));
    error = source.error();
    damageStart = reader.recordStart();
    return status;
}

void readList(const std::filesystem::path& file, std::string_view stamp, MergePlan& plan,
              ListPages& pages) {
    finishInterruptedAppend(file, stamp);  // failing that, its tail shows as damaged
    FileSource source;
    if (FileResult opened = source.open(file); !opened) {
        if (opened.error != ENOENT) plan.failure = opened;  // no file: an empty list
        return;
    }
    plan.listIdentity = source.identity();
    std::uint64_t damageStart = 0;
    int error = 0;
    const ReadStatus status = readPages(source, damageStart, error, [&](std::string_view page) {
        pages.keys.push_back(keyOf(page));
    });
    if (error) plan.failure = FileResult::of(error, file);
    plan.listDamaged = status == ReadStatus::Damaged && !error;
    plan.listPages = pages.keys.size();
    std::sort(pages.keys.begin(), pages.keys.end());
    pages.lackedSomewhere.assign(pages.keys.size(), false);
}

// Reads one copy against the list's pages; what it adds goes into the plan only when the
// copy could be read to its end.
void readCopy(const std::filesystem::path& file, CopyPlan& copy, ListPages& pages,
              MergePlan& plan) {
    FileSource source;
    if (copy.failure = source.open(file); !copy.failure) return;
    copy.identity = source.identity();
    std::vector<bool> seen(pages.keys.size(), false);
    const std::size_t recordsBefore = plan.records.size();
    std::vector<PageKey> added;
    std::uint64_t damageStart = 0;
    int error = 0;
    const ReadStatus status = readPages(source, damageStart, error, [&](std::string_view page) {
        ++copy.pages;
        const PageKey key = keyOf(page);
        const auto [from, to] = std::equal_range(pages.keys.begin(), pages.keys.end(), key);
        for (auto it = from; it != to; ++it)
            seen[static_cast<std::size_t>(it - pages.keys.begin())] = true;
        if (from != to || !pages.taken.insert(key).second) return;
        added.push_back(key);
        plan.records.append(page).append("\r\n");
    });
    if (error || !copy.identity) {
        copy.failure = FileResult::of(error ? error : EIO, file);
        plan.records.resize(recordsBefore);
        for (const PageKey& key : added) pages.taken.erase(key);
        return;
    }
    copy.damaged = status == ReadStatus::Damaged;
    if (copy.damaged) {
        copy.restOffset = damageStart;
        copy.restSize = copy.identity->size - std::min(damageStart, copy.identity->size);
    }
    copy.newPages = added.size();
    plan.newPages += added.size();
    for (std::size_t i = 0; i < seen.size(); ++i) {
        if (seen[i]) continue;
        ++copy.onlyInList;
        pages.lackedSomewhere[i] = true;
    }
}

}  // namespace

MergePlan planMerge(const std::filesystem::path& folder, ListKind list,
                    const std::vector<ConflictCopy>& copies, std::string_view stamp) {
    MergePlan plan;
    plan.list = list;
    ListPages pages;
    readList(folder / dataFileName(list), stamp, plan, pages);
    for (const ConflictCopy& copy : copies) {
        CopyPlan& read = plan.copies.emplace_back();
        read.copy = copy;
        if (plan.failure.ok()) readCopy(folder / copy.name, read, pages, plan);
    }
    plan.onlyInList = static_cast<std::size_t>(
        std::count(pages.lackedSomewhere.begin(), pages.lackedSomewhere.end(), true));
    return plan;
}

// ---- Carrying it out ----

bool MergeOutcome::complete() const {
    return stop == MergeStop::None &&
           std::all_of(copies.begin(), copies.end(),
                       [](const CopyOutcome& copy) { return copy.fate == CopyFate::Merged; });
}

FileResult renameMergedCopy(const std::filesystem::path& folder, const std::string& copyName) {
    if (FileResult renamed = renameIfFree(folder / copyName, folder / mergedCopyName(copyName));
        !renamed)
        return renamed;
    return syncFolder(folder);
}

namespace {

// The file is the one that was read, as it was. Its change time is left out: a hard link to
// it, as a history of the list makes, changes that and nothing of its content.
bool unchanged(const std::filesystem::path& file, const std::optional<FileIdentity>& then) {
    const std::optional<FileIdentity> now = fileIdentity(file);
    if (!now || !then) return !now && !then && !std::filesystem::exists(file);
    return now->device == then->device && now->inode == then->inode && now->size == then->size &&
           now->modifiedNs == then->modifiedNs;
}

// Lets go of one copy whose pages are in the list now.
CopyOutcome letGo(const std::filesystem::path& folder, ListKind list, const CopyPlan& copy,
                  std::string_view stamp, const SetAside& setAside) {
    CopyOutcome outcome{copy.copy.name, CopyFate::Changed, {}, {}};
    const std::filesystem::path file = folder / copy.copy.name;
    if (!unchanged(file, copy.identity)) return outcome;
    if (copy.damaged) {
        const std::string rest = restFileName(list, stamp);
        if (FileResult kept = copyTailToNewFile(file, copy.restOffset, folder / rest); !kept) {
            outcome.fate = CopyFate::RestNotKept;
            outcome.failure = kept;
            return outcome;
        }
        outcome.restFile = rest;
    }
    outcome.failure = setAside(folder, copy.copy.name);
    outcome.fate = outcome.failure.ok() ? CopyFate::Merged : CopyFate::NotSetAside;
    return outcome;
}

}  // namespace

MergeOutcome performMerge(const std::filesystem::path& folder, const MergePlan& plan,
                          std::string_view stamp, const SetAside& setAside) {
    MergeOutcome out;
    out.list = plan.list;
    out.onlyInList = plan.onlyInList;
    for (const CopyPlan& copy : plan.copies)
        out.copies.push_back({copy.copy.name,
                              copy.failure.ok() ? CopyFate::NotReached : CopyFate::Unreadable,
                              copy.failure,
                              {}});
    const std::filesystem::path list = folder / dataFileName(plan.list);
    if (!plan.failure.ok()) {
        out.stop = MergeStop::ListUnreadable;
        out.failure = plan.failure;
        return out;
    }
    if (plan.listDamaged) {
        out.stop = MergeStop::ListDamaged;
        return out;
    }
    if (!unchanged(list, plan.listIdentity)) {
        out.stop = MergeStop::ListChanged;
        return out;
    }
    out.sizeBefore = out.sizeAfter = plan.listIdentity ? plan.listIdentity->size : 0;
    if (!plan.records.empty()) {
        const AppendResult appended = appendRecords(list, plan.records, stamp);
        if (!appended.ok()) {
            out.stop = appended.failure.error == kDamagedTail ? MergeStop::ListDamaged
                                                              : MergeStop::AppendFailed;
            out.failure = appended.failure;
            return out;
        }
        out.appended = plan.newPages;
        out.sizeBefore = appended.sizeBefore;
        out.sizeAfter = appended.sizeAfter;
    }
    for (std::size_t i = 0; i < plan.copies.size(); ++i)
        if (plan.copies[i].failure.ok())
            out.copies[i] = letGo(folder, plan.list, plan.copies[i], stamp, setAside);
    return out;
}

}  // namespace holmtex
