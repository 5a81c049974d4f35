/*
 * QD3DShader.h — shaders and textures.
 *
 * An illumination shader chooses how lights shade what follows it: Phong
 * (diffuse and specular), Lambert (diffuse only) or NULL (no lighting: the
 * diffuse colour as is). A texture shader lays a texture over what follows
 * it, through the vertices' surface UVs (kQ3AttributeTypeSurfaceUV); it
 * holds its own reference to its texture.
 *
 * A pixmap texture is an image held in a storage object (QD3DStorage.h),
 * described by a TQ3StoragePixmap: rows of rowBytes bytes, top row first,
 * pixels of pixelSize bits. The texture holds its own reference to the
 * storage and reads the storage's bytes when it is drawn; it copies nothing.
 * A pixmap is accepted when:
 *  - pixmap and its image are not NULL (kQ3ErrorNULLParameter) and the image
 *    is a live storage object (kQ3ErrorInvalidObject, kQ3ErrorInvalidObjectType);
 *  - width and height are at least 1, pixelType, bitOrder and byteOrder are
 *    among the values of QD3D.h (kQ3ErrorParameterOutOfRange);
 *  - pixelSize is the size of pixelType: 32 for kQ3PixelTypeRGB32 and
 *    kQ3PixelTypeARGB32, 24 for kQ3PixelTypeRGB24, 16 for the 16-bit types
 *    (kQ3ErrorUnsupportedPixelDepth);
 *  - rowBytes holds a row (width × pixelSize / 8 bytes at least) and the
 *    storage holds every row, (height − 1) × rowBytes + one row's pixels
 *    (kQ3ErrorInvalidParameter).
 * A storage that later shrinks below its pixmap makes the texture draw as
 * absent; it never makes the library read past the storage's bytes.
 */
#ifndef VASK_PLATFORM_Q3D_QD3DSHADER_H
#define VASK_PLATFORM_Q3D_QD3DSHADER_H

#include "platform/q3d/QD3D.h"

/* Creation: a new object with one reference owned by the caller, or NULL
 * with an error posted. */
typedef enum TQ3ShaderUVBoundary { kQ3ShaderUVBoundaryWrap = 0, kQ3ShaderUVBoundaryClamp = 1 } TQ3ShaderUVBoundary;

Q3_EXTERN TQ3ShaderObject Q3PhongIllumination_New(void);
Q3_EXTERN TQ3ShaderObject Q3LambertIllumination_New(void);
Q3_EXTERN TQ3ShaderObject Q3NULLIllumination_New(void);

/* A texture shader over `texture` (a live texture; NULL is refused with
 * kQ3ErrorNULLParameter). The shader takes its own reference. */
Q3_EXTERN TQ3ShaderObject Q3TextureShader_New(TQ3TextureObject texture);

/* Writes the shader's texture to *texture as a NEW reference, which the
 * caller must dispose. */
Q3_EXTERN TQ3Status Q3TextureShader_GetTexture(TQ3ShaderObject shader, TQ3TextureObject* texture);

/* Replaces the shader's texture: takes a reference to `texture` and releases
 * the one it held. */
Q3_EXTERN TQ3Status Q3TextureShader_SetTexture(TQ3ShaderObject shader, TQ3TextureObject texture);

/* A pixmap texture over the pixmap's storage, which it references (rules
 * above). The caller keeps its own storage reference. */
Q3_EXTERN TQ3TextureObject Q3PixmapTexture_New(const TQ3StoragePixmap* pixmap);

/* Copies the texture's pixmap to *pixmap; pixmap->image is a NEW reference
 * to the storage, which the caller must dispose. */
Q3_EXTERN TQ3Status Q3PixmapTexture_GetPixmap(TQ3TextureObject texture, TQ3StoragePixmap* pixmap);

/* Gives the texture another pixmap (rules above): it takes a reference to
 * the new storage and releases the old one. On failure the texture is
 * unchanged. */
Q3_EXTERN TQ3Status Q3PixmapTexture_SetPixmap(TQ3TextureObject texture, const TQ3StoragePixmap* pixmap);

/* The texture's size in pixels. */
Q3_EXTERN TQ3Status Q3Texture_GetWidth(TQ3TextureObject texture, TQ3Uns32* width);
Q3_EXTERN TQ3Status Q3Texture_GetHeight(TQ3TextureObject texture, TQ3Uns32* height);

#endif
