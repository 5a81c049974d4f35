/*
 * QD3DStorage.h — storage objects: bytes that textures and files read from.
 *
 * A memory storage holds its bytes in memory, either a copy the library owns
 * (Q3MemoryStorage_New, Q3MemoryStorage_Set) or the caller's own buffer,
 * used in place without copying (Q3MemoryStorage_NewBuffer,
 * Q3MemoryStorage_SetBuffer). The caller's buffer must then stay valid, and
 * at least bufferSize bytes long, for as long as the storage or anything
 * made from it (a pixmap texture) lives or until the storage is given other
 * bytes: the library reads it whenever it draws, so a change to its contents
 * shows at the next draw. Dispose the storage's users before freeing such a
 * buffer.
 *
 * A storage's size is its valid size: the number of bytes from offset 0 that
 * hold data.
 */
#ifndef VASK_PLATFORM_Q3D_QD3DSTORAGE_H
#define VASK_PLATFORM_Q3D_QD3DSTORAGE_H

#include "platform/q3d/QD3D.h"

/* The storage's leaf type (kQ3StorageTypeMemory, ...), or
 * kQ3ObjectTypeInvalid with an error posted. */
Q3_EXTERN TQ3ObjectType Q3Storage_GetType(TQ3StorageObject storage);

/* Writes the storage's valid size, in bytes, to *size. */
Q3_EXTERN TQ3Status Q3Storage_GetSize(TQ3StorageObject storage, TQ3Uns32* size);

/* Copies up to dataSize bytes starting at byte `offset` into data and writes
 * how many were copied to *sizeRead: fewer than dataSize when the valid size
 * ends first, 0 at or past the end (which is not an error). */
Q3_EXTERN TQ3Status Q3Storage_GetData(TQ3StorageObject storage, TQ3Uns32 offset, TQ3Uns32 dataSize,
                                      unsigned char* data, TQ3Uns32* sizeRead);

/* A memory storage holding a copy of validSize bytes at buffer (buffer may be
 * NULL only when validSize is 0). */
Q3_EXTERN TQ3StorageObject Q3MemoryStorage_New(const unsigned char* buffer, TQ3Uns32 validSize);

/* A memory storage over the caller's buffer, not copied (see above): bytes
 * 0 to validSize − 1 hold data, and the buffer is bufferSize bytes long.
 * NULL buffer: kQ3ErrorNULLParameter; validSize above bufferSize:
 * kQ3ErrorParameterOutOfRange. */
Q3_EXTERN TQ3StorageObject Q3MemoryStorage_NewBuffer(unsigned char* buffer, TQ3Uns32 validSize,
                                                     TQ3Uns32 bufferSize);

/* Gives the storage a copy of other bytes, as Q3MemoryStorage_New. */
Q3_EXTERN TQ3Status Q3MemoryStorage_Set(TQ3StorageObject storage, const unsigned char* buffer,
                                        TQ3Uns32 validSize);

/* Makes the storage use another caller buffer in place, as
 * Q3MemoryStorage_NewBuffer. */
Q3_EXTERN TQ3Status Q3MemoryStorage_SetBuffer(TQ3StorageObject storage, unsigned char* buffer,
                                              TQ3Uns32 validSize, TQ3Uns32 bufferSize);

/* Where the storage's bytes are: the caller's buffer for a storage over one,
 * else the library's copy (valid until the storage changes or goes). Pass
 * NULL for any value not wanted. The bytes stay owned by whoever owned them. */
Q3_EXTERN TQ3Status Q3MemoryStorage_GetBuffer(TQ3StorageObject storage, unsigned char** buffer,
                                              TQ3Uns32* validSize, TQ3Uns32* bufferSize);

#endif
