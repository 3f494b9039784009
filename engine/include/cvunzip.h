/* cvunzip: the unzip engine's C interface. Lists, tests and extracts the entries of a ZIP archive.
 * Windows: exported by cvunzip.dll. Native build: the static library cvunzip with the same entry
 * points.
 *
 * A run is one call of Wiz_SingleEntryUnzip. Every callback comes from the calling thread, inside
 * the call; every worker thread the engine starts has ended before the call returns, so the
 * library may be freed right after it. One run at a time per process. Entries are decoded on
 * worker threads while later entries are decided: the print lines come in archive order, and so
 * do the service, replace and password calls, but the calls for an entry may come before the
 * print lines of earlier entries still being decoded.
 *
 * Texts are zero-terminated, in the process's ANSI code page (UTF-8 in the program). Entry names
 * are handed out as the engine decoded them to UTF-8: UTF-8 when the entry says so or when the
 * stored bytes are valid UTF-8 with non-ASCII characters; otherwise, for an entry not flagged
 * UTF-8, the code page chosen for the run with Wiz_SetNameCodePage when the bytes are valid in it;
 * otherwise code page 437. A Unicode path extra field whose checksum matches the stored name wins.
 * Include and exclude names are matched against this decoded name, "/" separating folders.
 *
 * Entries are stored, deflated or Deflate64, each possibly encrypted: traditional PKWARE
 * encryption, or AES (128-, 192- or 256-bit keys), whose authentication code is checked before an
 * extracted file replaces anything. The cryptography is the system's: CNG (bcrypt.dll, loaded from
 * System32) on Windows.
 *
 * On Windows, a file extracted from an archive that carries a Mark of the Web (a Zone.Identifier
 * stream) gets one too, with the archive's zone and address fields; a mark that cannot be written
 * is a warning.
 */
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32) && defined(CVUNZIP_BUILDING_DLL)
#define CVUNZIP_API __declspec(dllexport)
#elif defined(_WIN32) && defined(CVUNZIP_DLL)
#define CVUNZIP_API __declspec(dllimport)
#else
#define CVUNZIP_API
#endif

/* The calling convention of the published interface; a no-op on 64-bit Windows and elsewhere. */
#if defined(_WIN32) && !defined(_WIN64)
#define CVUNZIP_CALL __stdcall
#else
#define CVUNZIP_CALL
#endif

/* Option record: fifteen int fields (0 off, non-zero on) and two text pointers, in this order.
 * 68 bytes in a 32-bit build, 80 in a 64-bit one (the pointers are 8-byte aligned). */
typedef struct {
  /* Extract an entry over an existing file only when the entry is newer than the file; the
   * overwrite rules below then still apply. Entries without an existing file are extracted. */
  int ExtractOnlyNewer;
  int SpaceToUnderscore; /* spaces in written names become "_" */
  /* Ask the replace callback before replacing an existing file. With noflag also set, noflag
   * wins and nothing is asked. With neither, existing files are kept and reported by print. */
  int PromptToOverwrite;
  /* Print output: 0 every line ("  inflating: name", warnings, errors, summaries); 1 warnings
   * and errors only; 2 or more errors only. */
  int fQuiet;
  int ncflag; /* reserved: must be 0 (extraction to a console is not supported; ignored) */
  int ntflag; /* test: read and check every selected entry (CRC, sizes), write nothing */
  /* 1: list. The application-message callback is called once per selected entry in central
   * directory order; nothing is extracted or written. 0: extract (or test, with ntflag). */
  int nvflag;
  int nfflag;  /* reserved, ignored */
  int nzflag;  /* reserved, ignored */
  int ndflag;  /* 1: re-create the entries' folders under the target; 0: drop the folder part */
  int noflag;  /* overwrite existing files without asking */
  int naflag;  /* entries marked as text: a lone LF becomes CR LF (CRC checked on the original) */
  int nZIflag; /* reserved, ignored */
  int C_flag;  /* match include and exclude patterns case-sensitively */
  int fPrivilege;  /* reserved, ignored */
  char* lpszZipFN; /* archive path; required */
  /* Target folder, created when missing. NULL, empty, or a one-character string made of a zero
   * character: the current folder. */
  char* lpszExtractDir;
} DCL, *LPDCL;

/* print: one message line without its line end; text[length] == 0. Returns 0. */
typedef int(CVUNZIP_CALL* DLLPRNT)(char* text, unsigned long length);
/* sound: never called by this engine. */
typedef void(CVUNZIP_CALL* DLLSND)(void);
/* replace: the file name (target-relative path as written, "/" separated) exists; return one of
 * the IDM_REPLACE_ codes. Called only with PromptToOverwrite set and noflag clear. */
typedef int(CVUNZIP_CALL* DLLREPLACE)(char* name);
/* password: write at most size - 1 bytes of password into buffer (it arrives zero-filled, size
 * 256) and return 0, or return 1 to give none. prompt is a question for the user, name the
 * entry. A wrong password is asked for again at most 3 times per entry. The password that worked
 * last is tried first, without asking; when it does not fit an AES entry (found on a worker, as
 * its keys are derived there), the callback for that entry may come after the service calls of
 * the few entries after it. */
typedef int(CVUNZIP_CALL* DLLPASSWORD)(char* buffer, int size, const char* prompt,
                                       const char* name);
/* Listing callback, once per entry, thirteen values in this order:
 *  1 compressed size, 2 uncompressed size (both 64-bit),
 *  3 compressed size as a whole percentage of the uncompressed size, rounded up (0 for an empty
 *    entry; at most 32767),
 *  4 month 1-12, 5 day 1-31, 6 four-digit year, 7 hour 0-23, 8 minute 0-59 of the last
 *    modification, local time,
 *  9 unused (0),
 *  10 the decoded entry name, whole (never cut), valid for the call only; each zero byte of a
 *     stored name shows as U+FFFD (EF BF BD), and that shown name is the one include and exclude
 *     names select it by,
 *  11 the method text ("Stored", "Defl:N", "Defl:X", "Defl:F", "Defl:S", "Def64", "BZip2",
 *     "LZMA", "Zstd", "XZ", "PPMd", "AES-128", "AES-192", "AES-256" ("AES" when the entry's
 *     AES field is missing or damaged), "Implode", "Shrunk", "Reduce", "Unk:NNN"), valid for the
 *     call only,
 *  12 CRC-32, 13 flag byte: 0x40 encrypted, 0x80 the stored name holds a zero byte (such an
 *     entry is never written nor tested: under the name cut at the zero it would pose as another
 *     file, so it is skipped with a warning and the run ends in PK_WARN). */
typedef void(CVUNZIP_CALL* DLLAPPMSG)(unsigned long long compressedSize,
                                      unsigned long long uncompressedSize, unsigned ratio,
                                      unsigned month, unsigned day, unsigned year, unsigned hour,
                                      unsigned minute, char unused, char* name, char* method,
                                      unsigned crc, char flags);
/* service: once per entry before it is extracted or tested, with its decoded name; length is
 * the name's length in bytes. Return 1 to stop the run (code 80; entries already extracted stay,
 * nothing is half-written), 0 to go on. */
typedef int(CVUNZIP_CALL* DLLSERVICE)(const char* text, unsigned long length);

/* Callback record, in this order. A NULL callback does nothing and gives the "go on" answer
 * (replace: 100, password: none). The totals are written by the engine at the end of a listing
 * run: sum of compressed and of uncompressed sizes, the overall ratio as above, the number of
 * entries listed and the length of the archive comment. */
typedef struct {
  DLLPRNT print;
  DLLSND sound;
  DLLREPLACE replace;
  DLLPASSWORD password;
  DLLAPPMSG SendApplicationMessage;
  DLLSERVICE ServCallBk;
  unsigned long long TotalSizeComp;
  unsigned long long TotalSize;
  unsigned CompFactor;
  unsigned NumMembers;
  unsigned cchComment;
} USERFUNCTION, *LPUSERFUNCTION;

/* Replies of the replace callback. */
#define IDM_REPLACE_NO 100   /* keep this file */
#define IDM_REPLACE_YES 102  /* overwrite it */
#define IDM_REPLACE_ALL 103  /* overwrite it and all later ones without asking */
#define IDM_REPLACE_NONE 104 /* overwrite none, and ask no more */

/* Version record: 64 bytes in every build. The caller sets structlen to 64 (or more); the texts
 * are zero-terminated within their fields. */
typedef struct {
  unsigned char major;
  unsigned char minor;
  unsigned char patchlevel;
  unsigned char not_used;
} _version_type;

typedef struct {
  unsigned int structlen; /* size of the record the caller passes, at least 64 */
  unsigned int flag;      /* bit 0: a beta release; bit 1: zlib is used (always set) */
  char betalevel[10];     /* "" for a release */
  char date[20];          /* release date, "Dec 06 2026" form */
  char zlib_version[10];  /* the version of the zlib the engine was built with */
  _version_type unzip;    /* the engine, 1.0.0 */
  _version_type zipinfo;  /* the listing-callback interface */
  _version_type windll;   /* the Windows DLL interface */
  /* the library as a whole (the version the program shows; equals the engine's) */
  _version_type dllapimin;
} UZPVER, *LPUZPVER;

/* Return codes (published unzip conventions). */
#define PK_OK 0   /* success */
#define PK_WARN 1 /* warnings: some entries skipped (see the print output), others done */
/* an entry is damaged (CRC, AES authentication code, sizes, headers, overlap): it was not written
 */
#define PK_ERR 2
#define PK_BADERR 3  /* the archive is damaged or truncated */
#define PK_MEM 4     /* out of memory */
#define PK_PARAM 10  /* bad options or arguments */
#define PK_FIND 11   /* an include name matched no entry */
#define PK_NOZIP 9   /* archive not found, empty, or not a ZIP archive */
#define PK_DISK 50   /* disk full, or a file or folder could not be written */
#define IZ_CTRLC 80  /* stopped by the service callback */
#define IZ_UNSUP 81  /* an entry uses an unsupported method or encryption: it was skipped */
#define IZ_BADPWD 82 /* no correct password for any encrypted entry */

/* Lists (nvflag 1), tests (ntflag 1) or extracts the archive lpszZipFN. include: ifnc names
 * (entries to take; 0 takes every entry), exclude: xfnc names to leave out. A name equal to an
 * entry's decoded name selects exactly the entries of that name; any other name is a pattern with
 * "*" (any run of characters, "/" included), "?" (one character) and "[...]" (one of a set, "!"
 * or "^" first negates it, "a-z" ranges), matched case-insensitively unless C_flag. Names are
 * read, not kept. Returns a PK_/IZ_ code. */
CVUNZIP_API int CVUNZIP_CALL Wiz_SingleEntryUnzip(int ifnc, char** ifnv, int xfnc, char** xfnv,
                                                  LPDCL lpDCL, LPUSERFUNCTION lpUserFunc);

/* Chooses the code page (Windows numbering: 932, 936, 1251, 866, ...) in which the next call of
 * Wiz_SingleEntryUnzip, and only that one, reads entry names that are neither flagged UTF-8 nor
 * valid UTF-8; a caller that lists and then extracts chooses it before each call, so that both
 * read the names alike. Names flagged UTF-8 or carrying a Unicode path extra field are never
 * converted, and stored names never change. 0 chooses code page 437. Returns 1, or 0 (nothing
 * chosen) when the system cannot convert from that code page. */
CVUNZIP_API int CVUNZIP_CALL Wiz_SetNameCodePage(unsigned codePage);

/* Progress extension (our addition beside the published interface; the records keep their
 * layout). progress: the run's progress, on the calling thread, at most about ten times a second
 * and once more when the run ends. bytesDone and bytesTotal count the uncompressed bytes of the
 * selected entries to extract or test (an entry skipped or failed counts as done whole); a listing
 * counts the bytes of the central directory read. entriesDone and entriesTotal count the selected
 * entries, folders included. The totals are known before the first call, which comes before the
 * first entry (none when the run fails before, e.g. on an archive that cannot be opened); the done
 * counts only grow and never pass the totals, and reach them in the last call of a run that
 * succeeded. The calling thread wakes at least every 100 ms while workers decode, so the bytes
 * advance within a single large entry. Return non-zero to stop the run: it then returns IZ_CTRLC
 * (80), with the files being written removed (an existing file they were to replace stays as it
 * was) and the files already complete kept; no call follows. The answer to the last call, made
 * when everything is done, is not looked at. */
typedef int(CVUNZIP_CALL* DLLPROGRESS)(void* context, unsigned long long bytesDone,
                                       unsigned long long bytesTotal,
                                       unsigned long long entriesDone,
                                       unsigned long long entriesTotal);

/* Sets the progress callback and its context for the next call of Wiz_SingleEntryUnzip, and only
 * that one (NULL sets none). Returns 1. */
CVUNZIP_API int CVUNZIP_CALL Wiz_SetProgress(DLLPROGRESS progress, void* context);

/* Fills the record as described above (nothing when it is NULL or structlen < 64). */
CVUNZIP_API void CVUNZIP_CALL UzpVersion2(LPUZPVER version);

/* The target-relative path extraction writes for an entry name (decoded UTF-8, as listed), with
 * ndflag and SpaceToUnderscore as in DCL: leading separators, drive letters, "." and ".."
 * components are removed, "\" counts as a separator, characters Windows forbids become "_" and
 * reserved device names get a "_" in front. Folders are separated by "\" on Windows and "/"
 * elsewhere. Writes at most size bytes including the terminating zero into buffer and returns the
 * length of the whole path (without the zero; a result >= size means it was cut). Returns 0 when
 * the entry writes no file (an empty or folder-only name). */
CVUNZIP_API unsigned CVUNZIP_CALL Wiz_EntryPath(const char* name, int ndflag, int SpaceToUnderscore,
                                                char* buffer, unsigned size);

#ifdef __cplusplus
}
#endif
