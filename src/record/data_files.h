#pragma once
// The safe ways of changing a file, and the few other file calls the operations make. Every
// one answers with a FileResult.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "record/content_hash.h"
#include "record/file_names.h"
#include "record/file_result.h"
#include "record/page_record.h"

namespace holmtex {

// Whether the file may be written: ok when it may (or does not exist), EACCES when its
// mode bits let nobody write it (the superuser included, who could), otherwise what
// access() says. A rename over a protected file needs only the folder's permission, so
// every replacing operation asks this first.
FileResult writePermitted(const std::filesystem::path& file);

// The file a name stands for: the target of a symbolic link (followed to its end), else
// the name itself, also for a name that does not exist. A list kept elsewhere through a
// link is replaced there, so the link stays the list. Not ok when the name could not be
// looked at: then nothing may be written in its place.
FileResult resolveFile(const std::filesystem::path& file, std::filesystem::path& real);

// What became of a file replacement: the first step that failed, if any, and whether the
// target took the new content.
struct ReplaceResult {
    FileResult failure;     // the first step that failed, if any
    bool replaced = false;  // the target holds the new content (any failure came after)
    bool ok() const { return failure.ok(); }
};

// What a replacement does with what stands at the target's name. Whatever the rule, only a
// plain file is ever replaced: a folder is refused with EISDIR, a socket (and, but for
// Stream, a pipe or device) with kNotAPlainFile, before anything is written.
enum class LinkRule {
    // A list: a symbolic link is followed and its target replaced, so the link stays the list.
    Follow,
    // A file the program makes in its working folder: a symbolic link in its place is itself
    // replaced; what it points to is never written.
    Replace,
    // A file the user named: a link is followed; a device or named pipe there is written to
    // as it is, a stream, never replaced.
    Stream,
};

// The one way of writing a file whole. The new content goes into a work file beside the
// target; commit() then puts it in the target's place with a single rename, so a crash
// at any moment leaves the target with its old or its new content, never without one.
// A work file that is not committed is removed again. A target that is a symbolic link is
// treated as `rule` says; followed, it is replaced where the link points: the work file is
// made in that folder under its bare name, and the link stays.
class FileReplacement {
public:
    FileReplacement(std::filesystem::path target, std::filesystem::path work,
                    LinkRule rule = LinkRule::Follow);
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // Creates the work file afresh; a file of that name is removed first, so a link in
    // its place is never written through. For a stream it opens the stream instead.
    FileResult begin();
    // Buffered; a failure shows here or at commit().
    FileResult write(std::string_view bytes);
    // Writes out the buffer, gives the work file the target's mode bits and syncs it;
    // when `backup` is given, makes it the target as it is now (a hard link, or a synced
    // copy where the file system has none), replacing an older backup; renames the work
    // file over the target; syncs the folder. A stream is only written out and closed.
    ReplaceResult commit(const std::filesystem::path& backup = {});
    // Like commit() without a backup, but the work file takes the target's name only
    // when no file has it; otherwise EEXIST, and the work file is removed.
    ReplaceResult commitNew();
    // Gives up: the work file is removed, the target stays as it is.
    void discard();
    // The first steps of commit() alone: the work file written out, with the target's mode
    // bits, synced and closed, ready to take the target's place.
    FileResult seal();
    // Leaves the work file where it is, for a later adopt() to take up.
    void keep() { created_ = false; }
    // Whether the work file is still there after a failure, as it could not be removed.
    bool workLeft() const { return created_ && fd_ < 0; }
    // Takes the work file that a sealed replacement left as its own, for commit().
    FileResult adopt();

    const std::filesystem::path& workPath() const { return work_; }
    // The hash of every byte written, so that the history knows the new content unread.
    const ContentHash& written() const { return written_; }

private:
    FileResult place();
    FileResult flush();
    ReplaceResult finish(const std::filesystem::path& backup, bool replace);
    ReplaceResult finishStream();

    std::filesystem::path target_, work_;
    LinkRule rule_;
    std::filesystem::path real_;  // the file the target stands for; the work file lies beside it
    std::string buffer_;
    ContentHash written_;
    int fd_ = -1;
    bool created_ = false;  // the work file exists and is ours to remove
    bool stream_ = false;   // fd_ is the target itself, a device or pipe
    bool sealed_ = false;   // the work file is written, synced and closed
};

// Writes a whole file through a FileReplacement with the work file workFileFor(path):
// afterwards it holds the new bytes, or its old content when anything failed (unless
// `replaced` says it took them and only the sync of its folder failed).
ReplaceResult writeWholeFile(const std::filesystem::path& path, std::string_view bytes,
                             LinkRule rule = LinkRule::Replace);

// Writes a file that must not replace one of the same name, through the work file
// workFileFor(path) and a rename that never replaces: EEXIST when the name is taken, by a
// link too. On any failure before the rename nothing is left behind.
ReplaceResult writeNewFile(const std::filesystem::path& path, std::string_view bytes);

// Readies the name of a file the program appends to in its working folder: a symbolic link
// there is removed (what it points to is not touched), so the append makes a plain file of
// its own. EISDIR for a folder, kNotAPlainFile for a pipe, device or socket; ok also when
// nothing is there.
FileResult prepareOutputFile(const std::filesystem::path& file);

// Makes `backup` hold what `file` (through a link: its target) holds now: a hard link, or a
// synced copy where the file system has none. The new backup is made under a name of its
// own first and then renamed over an older one, so the older one stays until the new one
// is whole.
FileResult backupFile(const std::filesystem::path& file, const std::filesystem::path& backup);

// Makes the new name `to` hold what `from` holds now: a hard link, or a synced copy with its
// mode bits where the file system has no hard links (or `to` lies on another). EEXIST when
// `to` is taken; nothing is left of `to` on any failure.
FileResult linkOrCopy(const std::filesystem::path& from, const std::filesystem::path& to);

// Renames `from` to `to` only when `to` does not exist (EEXIST then); a failure names `to`.
// On a file system with neither a no-replace rename nor hard links it looks first and then
// renames, which is safe as only one program works in the folder.
FileResult renameIfFree(const std::filesystem::path& from, const std::filesystem::path& to);

// Writes the folder's entries (new names, removed names) to disk.
FileResult syncFolder(const std::filesystem::path& folder);

// Removes a file; a missing one is ENOENT.
FileResult removeFile(const std::filesystem::path& file);

// Renames `from` to `to`, replacing a file of that name. A failure names `from`.
FileResult renameFile(const std::filesystem::path& from, const std::filesystem::path& to);

// Puts the bytes of `file` from `offset` on into the new file `to`, synced, with its folder.
// A file of that name is never replaced (EEXIST); on any failure nothing is left of `to`.
FileResult copyTailToNewFile(const std::filesystem::path& file, std::uint64_t offset,
                             const std::filesystem::path& to);

// The bare name of the file the program keeps in `workDir` (a list, its backup, the transfer
// file, a redo file, the lock, the history folder) that a file written as `output` would
// take the place of, by whatever name leads to it; empty when none. A file that exists is
// known by its identity, one still to come by its name in the working folder.
std::string keptFileAt(const std::filesystem::path& output, const std::filesystem::path& workDir);

// Whether `file` is a regular file this program may run.
bool isRunnableFile(const std::filesystem::path& file);

}  // namespace holmtex
