/* cvzip: the zip engine's C interface. Adds files to a ZIP archive (creating it when missing) or
 * deletes entries from one. Windows: exported by cvzip.dll. Native build: the static library
 * cvzip with the same entry points.
 *
 * A run is three calls on one thread: ZpInit (callbacks), ZpSetOptions (options), ZpArchive
 * (names). The engine copies what it is given: callbacks and options stay in force until replaced,
 * the texts they point to must live until ZpArchive returns. One run at a time per process.
 *
 * Every write is atomic: the new archive is written to a temporary file in the archive's folder and
 * renamed over the archive only when the run succeeded. A failed or stopped run leaves the archive
 * byte for byte as it was and no temporary file.
 *
 * Texts are zero-terminated, in the process's ANSI code page (UTF-8 in the program). Entry names
 * are stored in UTF-8 with flag bit 11 set when they are not plain ASCII. The names of an existing
 * archive are read as the unzip engine reads them (see cvunzip.h), in the code page chosen with
 * ZpSetNameCodePage; the entries kept keep their stored names.
 *
 * Encryption is traditional PKWARE encryption unless ZpSetEncryption chooses AES for the run. AES
 * takes its cryptography from the system: CNG (bcrypt.dll, loaded from System32) on Windows.
 */
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32) && defined(CVZIP_BUILDING_DLL)
#define CVZIP_API __declspec(dllexport)
#elif defined(_WIN32) && defined(CVZIP_DLL)
#define CVZIP_API __declspec(dllimport)
#else
#define CVZIP_API
#endif

/* The calling convention of the published interface; a no-op on 64-bit Windows and elsewhere. */
#if defined(_WIN32) && !defined(_WIN64)
#define CVZIP_CALL __stdcall
#else
#define CVZIP_CALL
#endif

/* Option record. Fields are the platform's natural C types; a flag is an int that is 0 (off) or
 * non-zero (on). The layout is three text pointers, the int fields in the order below, then the
 * level character: 128 bytes in a 32-bit build, 144 in a 64-bit one. A caller that zeroes the
 * record gets: add, deflate level 6, no recursion, folder names and folder entries stored,
 * hidden and system files skipped when found by recursion or wildcards. */
typedef struct {
  /* Reserved, must be NULL or empty: a non-empty value makes ZpArchive fail with code 16
   * (selecting files by date is not supported). */
  char* Date;
  /* Base folder: a stored name is the file's path relative to it when the file lies under it.
   * NULL, empty or blanks only: no base folder. */
  char* szRootDir;
  /* Ignored: the temporary file is always written in the archive's folder, so that the final
   * rename cannot cross volumes. */
  char* szTempDir;
  int fTemp;   /* ignored: see szTempDir */
  int fSuffix; /* reserved, must be 0 */
  /* encrypt every added entry (traditional PKWARE, or AES chosen with ZpSetEncryption); asks the
   * password callback */
  int fEncrypt;
  int fSystem;        /* include hidden and system files found by recursion or wildcards */
  int fVolume;        /* accepted; a volume label has no place in the archives of this platform */
  int fExtra;         /* reserved, must be 0 */
  int fNoDirEntries;  /* do not store folder entries */
  int fExcludeDate;   /* reserved, must be 0 */
  int fIncludeDate;   /* reserved, must be 0 */
  int fVerbose;       /* print more: a summary line at the end of the run */
  int fQuiet;         /* print only errors and warnings */
  int fCRLF_LF;       /* text files: CR LF becomes LF; entries marked as text */
  int fLF_CRLF;       /* text files: a lone LF becomes CR LF; entries marked as text */
  int fJunkDir;       /* store the file name only, without its folders */
  int fGrow;          /* accepted; an existing archive is always rewritten atomically */
  int fForce;         /* reserved, must be 0 */
  int fMove;          /* reserved, must be 0 */
  int fDeleteEntries; /* delete the named entries instead of adding files */
  int fUpdate;        /* replace an entry only when the file is newer; add new files */
  int fFreshen;       /* replace entries only when the file is newer; add no new entries */
  int fJunkSFX;       /* reserved, must be 0 */
  int fLatestTime;    /* reserved, must be 0 */
  int fComment;       /* reserved, must be 0 (the comment callback is never called) */
  int fOffsets;       /* reserved, must be 0 */
  int fPrivilege;     /* reserved, must be 0 */
  int fEncryption;    /* reserved, must be 0 */
  int fRecurse;       /* 0: named folders are not descended; 1 or 2: they are, recursively */
  int fRepair;        /* reserved, must be 0 */
  /* '0'..'9': deflate level ('0' stores every entry); 0 (zero byte): level 6. Any other value
   * makes ZpArchive fail with code 16. */
  char fLevel;
} ZPOPT;

/* print: one message line (no line end), text[length] == 0. Returns 0. */
typedef int(CVZIP_CALL* ZPPRINT)(char* text, unsigned long length);
/* password: write a password of at most size - 1 bytes and a zero to buffer and return 0, or
 * return 1 when none is given (the run then ends with code 5, archive untouched). prompt is a
 * question for the user, name the first entry to be encrypted. */
typedef int(CVZIP_CALL* ZPPASSWORD)(char* buffer, int size, const char* prompt, const char* name);
/* comment: never called by this engine (archive comments are kept as they are). */
typedef char*(CVZIP_CALL* ZPCOMMENT)(char* buffer);
/* service: called once per entry before it is added, replaced or deleted, with its stored name;
 * length is the size of text in bytes including its terminating zero. Return 1 to stop the run
 * (code 80, archive untouched), 0 to go on. */
typedef int(CVZIP_CALL* ZPSERVICE)(const char* text, unsigned long length);

/* Callback record, in this order. A NULL entry is treated as a callback that does nothing and
 * gives its "go on" / "no password" answer. */
typedef struct {
  ZPPRINT print;
  ZPPASSWORD password;
  ZPCOMMENT comment;
  ZPSERVICE service;
} ZIPUSERFUNCTIONS;

/* The name list of ZpArchive: 1024 text slots of which the first count are read. A caller may
 * pass more than 1024 names by giving a larger array of char* laid out the same way: the engine
 * reads exactly count slots. */
#define ZPNAMES_SLOTS 1024
typedef struct {
  char* szName[ZPNAMES_SLOTS];
} ZPNAMES;

/* Return codes (published zip conventions). */
#define ZE_OK 0       /* success */
#define ZE_EOF 2      /* unexpected end of an archive */
#define ZE_FORM 3     /* archive damaged or not a ZIP archive */
#define ZE_MEM 4      /* out of memory */
#define ZE_LOGIC 5    /* internal logic error; also: no password given for encryption */
#define ZE_BIG 6      /* entry too large */
#define ZE_NOTE 7     /* invalid comment format */
#define ZE_TEST 8     /* archive test failed */
#define ZE_ABORT 9    /* interrupted */
#define ZE_TEMP 10    /* temporary file could not be created or written */
#define ZE_READ 11    /* archive could not be read, or is not a ZIP archive */
#define ZE_NONE 12    /* nothing to do */
#define ZE_NAME 13    /* missing or empty archive name */
#define ZE_WRITE 14   /* error writing the archive */
#define ZE_CREAT 15   /* archive could not be created */
#define ZE_PARMS 16   /* bad or unsupported option */
#define ZE_OPEN 18    /* a named file could not be found or read (warning: the others added) */
#define ZE_ABORTED 80 /* stopped by the service callback */

/* Stores a copy of the callbacks for the following runs. Returns 1. */
CVZIP_API int CVZIP_CALL ZpInit(const ZIPUSERFUNCTIONS* functions);
/* Stores a copy of the options for the following runs (texts are copied too). Returns 1. */
CVZIP_API int CVZIP_CALL ZpSetOptions(const ZPOPT* options);
/* The encryption methods of ZpSetEncryption. */
#define ZP_ENCRYPTION_TRADITIONAL 0
#define ZP_ENCRYPTION_AES128 1
#define ZP_ENCRYPTION_AES192 2
#define ZP_ENCRYPTION_AES256 3
/* Chooses how the next ZpArchive call, and only that one, encrypts when fEncrypt is set: AES
 * entries (method 99, vendor version 1 with the CRC, or 2 without it below 20 bytes; a salt from
 * the system's random source per entry) or traditional encryption, which every later call goes
 * back to. ZpArchive fails with code 16 when the system has no AES. Returns 1, or 0 (nothing
 * chosen) for another value. */
CVZIP_API int CVZIP_CALL ZpSetEncryption(int method);
/* Chooses the code page (Windows numbering: 932, 936, 1251, 866, ...) in which the next ZpArchive
 * call, and only that one, reads the existing archive's names that are neither flagged UTF-8 nor
 * valid UTF-8, so that a name listed under that code page deletes or replaces its entry. 0 chooses
 * code page 437. Returns 1, or 0 (nothing chosen) when the system cannot convert from that code
 * page. */
CVZIP_API int CVZIP_CALL ZpSetNameCodePage(unsigned codePage);

/* Progress extension (our addition beside the published interface; the records keep their
 * layout). progress: the run's progress, on the calling thread, at most about ten times a second
 * and once more when the run ends. bytesDone and bytesTotal count the bytes the run reads and
 * writes: files compressed or stored (at their size when scanned) plus entries copied from the
 * existing archive (header, data and descriptor); entriesDone and entriesTotal count the entries
 * of the new archive (kept, added and replaced, folders included). A delete counts the entries it
 * keeps and their bytes. The totals are known before the first call, which comes before anything
 * is written (none when the run ends before, e.g. with ZE_NONE); the done counts only grow
 * and never pass the totals. The calling thread wakes at least every 100 ms while workers
 * compress, so the bytes advance within a single large file. The last call, with everything done,
 * comes after the central directory is written and before the archive is replaced. Return
 * non-zero, at any call the last one included, to stop the run: it then returns ZE_ABORTED (80),
 * the archive untouched and no temporary file left. */
typedef int(CVZIP_CALL* ZPPROGRESS)(void* context, unsigned long long bytesDone,
                                    unsigned long long bytesTotal, unsigned long long entriesDone,
                                    unsigned long long entriesTotal);

/* Sets the progress callback and its context for the next ZpArchive call, and only that one
 * (NULL sets none). Returns 1. */
CVZIP_API int CVZIP_CALL ZpSetProgress(ZPPROGRESS progress, void* context);

/* The options in force; the text pointers refer to the engine's copies, valid until the next
 * ZpSetOptions. */
CVZIP_API ZPOPT CVZIP_CALL ZpGetOptions(void);
/* Adds the named files (each a file, a folder, or a wildcard pattern with * and ? in its last
 * component; absolute or relative to the current folder) to the archive, or with fDeleteEntries
 * deletes the entries whose stored names equal a name (a name that equals no entry is a wildcard
 * pattern; "dir/" also takes everything under it). count 0 creates a valid empty archive when
 * none exists and leaves an existing file untouched. Returns a ZE_ code. */
CVZIP_API int CVZIP_CALL ZpArchive(int count, const char* zipFile, const ZPNAMES* names);

#ifdef __cplusplus
}
#endif
