/*
 * QD3DIO.h — reading 3D Metafiles (3DMF): file objects over a storage.
 *
 * Use:
 *
 *     TQ3StorageObject storage = Q3PosixStorage_New(fd);   // or a memory storage
 *     TQ3FileObject file = Q3File_New();
 *     Q3File_SetStorage(file, storage);                    // the file keeps a reference
 *     Q3Object_Dispose(storage);
 *     TQ3FileMode mode;
 *     Q3File_OpenRead(file, &mode);
 *     do {
 *         TQ3Object object = Q3File_ReadObject(file);      // NULL: failure, see Q3Error_Get
 *         ...
 *     } while (!Q3File_IsEndOfFile(file));
 *     Q3File_Close(file);
 *     Q3Object_Dispose(file);
 *
 * Both encodings are read: text (first token "3DMetafile") and binary
 * ("3DMF" big-endian, "FMD3" little-endian); the extension of a file is never
 * looked at. Every byte of a file is untrusted: whatever it holds, a read
 * either returns an object or fails with an error posted, and never reads
 * outside the storage's bytes, allocates more than a small multiple of the
 * file's size, loops without end or recurses without bound.
 *
 * What Q3File_ReadObject returns, one per call, in file order:
 *  - geometry, transforms, styles, shaders, attribute sets: their objects,
 *    with the attribute sets, attribute arrays, caps and textures their
 *    containers carry;
 *  - a BeginGroup … EndGroup run: the group, holding its members;
 *  - a Reference: the object it names (the same object, with a new
 *    reference, every time it is named);
 *  - anything else (lights, cameras, view hints, unknown and custom types):
 *    an unknown object (kQ3ShapeTypeUnknown in its type chain, its leaf type
 *    the file's type code), which is not drawable. An unknown type is skipped
 *    by its size and posts kQ3WarningUnknownObject.
 * Tables of contents and type declarations are consumed on the way and
 * returned as nothing. Bytes after the last object that do not begin an
 * object (trailing junk) end the file with kQ3WarningInvalidMetafileObject,
 * so that what came before them is kept; an object that begins but runs past
 * the end of the file is an error.
 *
 * Errors posted by a failing read: kQ3ErrorInvalidMetafile (not a 3DMF file,
 * a damaged frame or table of contents), kQ3ErrorInvalidMetafilePrimitive (a
 * value that cannot be read: a bad number, a string without its end),
 * kQ3ErrorInvalidMetafileObject (an object whose data does not hold
 * together: a count that runs past its object, an index past the end),
 * kQ3ErrorInvalidMetafileSubObject (a child that does not belong to its
 * parent), kQ3ErrorUnresolvableReference (a reference to nothing, or a loop
 * of references), kQ3ErrorEndOfFile (a read past the last object),
 * kQ3ErrorFileNotOpen, and the notice code kQ3NoticeFileCancelled, posted on
 * the error channel, when the idle method asked to stop.
 *
 * Not part of QuickDraw 3D: Q3PosixStorage_New (the port's file storage) and
 * Q3File_GetReadProblem (a sentence saying what went wrong, and where).
 */
#ifndef VASK_PLATFORM_Q3D_QD3DIO_H
#define VASK_PLATFORM_Q3D_QD3DIO_H

#include "platform/q3d/QD3D.h"

typedef enum TQ3FileModeMasks {
    kQ3FileModeNormal = 0,
    kQ3FileModeStream = 1 << 0,
    kQ3FileModeDatabase = 1 << 1,
    kQ3FileModeText = 1 << 2
} TQ3FileModeMasks;
typedef TQ3Uns32 TQ3FileMode;

/* Version of the file's header: major in the high 16 bits, minor in the low. */
typedef TQ3Uns32 TQ3FileVersion;

/* Called now and then while a file is read, with the data given to
 * Q3File_SetIdleMethod. Returning kQ3Failure stops the read: the call under
 * way fails with kQ3NoticeFileCancelled. */
typedef TQ3Status (*TQ3FileIdleMethod)(TQ3FileObject file, const void* idlerData);

/* A storage over an open file descriptor, read with pread(2); the storage
 * neither closes nor moves the descriptor, which must stay open while the
 * storage lives. Its size is the file's size when the storage is made.
 * A negative descriptor: kQ3ErrorParameterOutOfRange. */
Q3_EXTERN TQ3StorageObject Q3PosixStorage_New(int fileDescriptor);

/* A new, closed file without a storage. */
Q3_EXTERN TQ3FileObject Q3File_New(void);

/* Gives the file a storage (it takes a reference; NULL detaches). Refused
 * while the file is open (kQ3ErrorFileIsOpen). */
Q3_EXTERN TQ3Status Q3File_SetStorage(TQ3FileObject file, TQ3StorageObject storage);

/* Opens the file for reading: reads the header and the table of contents,
 * and writes the file's mode to *mode (may be NULL). No storage:
 * kQ3ErrorNoStorageSetForFile; already open: kQ3ErrorFileAlreadyOpen; not
 * a 3DMF file: kQ3ErrorInvalidMetafile. The whole storage is read into
 * memory here unless it is a memory storage, which is read in place. */
Q3_EXTERN TQ3Status Q3File_OpenRead(TQ3FileObject file, TQ3FileMode* mode);

/* The header's version. Needs an open file (kQ3ErrorFileNotOpen). */
Q3_EXTERN TQ3Status Q3File_GetVersion(TQ3FileObject file, TQ3FileVersion* version);

/* The next object of the file, a new reference owned by the caller, or NULL
 * with an error posted (see above). */
Q3_EXTERN TQ3Object Q3File_ReadObject(TQ3FileObject file);

/* kQ3True once no object is left to read (and for a closed file). */
Q3_EXTERN TQ3Boolean Q3File_IsEndOfFile(TQ3FileObject file);

/* The idle method (NULL for none) and its data. */
Q3_EXTERN TQ3Status Q3File_SetIdleMethod(TQ3FileObject file, TQ3FileIdleMethod idle, const void* idleData);

/* Closes the file, dropping what was read into memory and every object kept
 * for references. Closing a closed file: kQ3ErrorFileNotOpen. */
Q3_EXTERN TQ3Status Q3File_Close(TQ3FileObject file);

/* Our extension: after a failed Q3File_OpenRead or Q3File_ReadObject, a
 * sentence saying what was wrong and where (a byte offset, or a line in a
 * text file), cut to fit bufferSize bytes with its terminating zero; the
 * empty text when the last open or read succeeded. */
Q3_EXTERN TQ3Status Q3File_GetReadProblem(TQ3FileObject file, char* buffer, TQ3Uns32 bufferSize);

#endif
