// Encrypting and decrypting a whole file in place.
//
// Encrypted file: a 32-byte password check, then the CBC ciphertext of the
// plaintext, of the plaintext's length (no padding, no header). The key K32
// is SHA-1 of the password followed by twelve 0xFF bytes, used whole as a
// 256-bit Blowfish key with the derived IV; the check is K32 encrypted with
// CBC from the IV, and the data chain starts again at the IV.
//
// For a file F the result goes first to a temporary file (the `out` name the
// caller gives: F.enc when encrypting, F.dec when decrypting). Only when it
// is complete and on disk does it take F's place, and F's previous content is
// kept beside it: as F.org after encrypting, F.enc after decrypting (an older
// file of that name is replaced). If anything fails, F is left as it was and
// the temporary output is removed; the one exception is a wrong password,
// which leaves the empty F.dec behind as it always has.
//
// One command at a time per file: each holds an exclusive lock on F for its
// whole run (see file_lock.h), and a second command on F while it runs is
// refused with Busy, changing nothing. The checksum takes a shared lock, so
// it neither runs during an encryption nor lets one start.
//
// A symbolic link stands for the file it points to: F is the link's target,
// which is encrypted or decrypted with its companions beside it, and the link
// stays as it was. (A temporary name given as the link's name plus a suffix
// is put beside the target with the same suffix.)
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "core/crypto/blowfish.h"

namespace tolvan {

enum class FileCryptStatus {
  Done,           // processed; the result is in F's place
  OpenFailed,     // the input could not be opened (missing, locked, read-only)
  CreateFailed,   // the temporary output could not be created
  TooShort,       // decrypting a file shorter than the 32-byte password check
  WrongPassword,  // the password check did not match
  IoError,        // reading or writing failed during the copy
  RenameFailed,   // deleting the old companion or a rename failed
  Busy,           // another command is working on the same file
};

struct FileCryptResult {
  FileCryptStatus status = FileCryptStatus::Done;
  std::string message;  // what to show the user, success included
  bool ok() const { return status == FileCryptStatus::Done; }
};

// Called after each piece: bytes of the input done so far, and its size.
using FileCryptProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;

// Both key the cipher afresh and leave it wiped.
FileCryptResult EncryptFile(TDCP_blockcipher& cipher, const std::string& in, const std::string& out,
                            std::string_view password, const FileCryptProgress& progress = {});
FileCryptResult DecryptFile(TDCP_blockcipher& cipher, const std::string& in, const std::string& out,
                            std::string_view password, const FileCryptProgress& progress = {});

// The texts of the file commands.
inline constexpr char kFilePasswordCaption[] = "Password for encryption";
inline constexpr char kFilePasswordPrompt[] = "Please enter the password";
// True for a regular file (after following symbolic links); false for a
// folder, a missing path, a device or a pipe.
bool IsExistingFile(const std::string& path);
// "<path> is NOT a File. Please Select a File."
std::string NotAFileMessage(const std::string& path);

// Fault injection for tests: the hook runs before each step of the workers
// and may return an errno value, which makes that step fail as if the system
// had returned it (0 lets the step run). A test can also end the process from
// the hook to see what an interruption at that point leaves on disk. Off
// (null) unless a test sets it; not for use by the program.
enum class FileCryptStep {
  OpenInput,
  CreateOutput,
  WriteCheck,       // the 32-byte password check
  ReadPiece,
  WritePiece,
  SyncOutput,
  CloseOutput,
  DeleteCompanion,  // removing the old F.org / F.enc
  KeepOriginal,     // F's content gets its companion name
  ReplaceFile,      // the output takes F's name
  SyncFolder,
};
using FileCryptFaultHook = std::function<int(FileCryptStep)>;
void SetFileCryptFaultHook(FileCryptFaultHook hook);

}  // namespace tolvan
