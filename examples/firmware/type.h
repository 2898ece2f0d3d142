/* The declarations a GD file needs, as a firmware's own type.h gives them.
 *
 * A GD file holds, for each picture, an array of COMPRESS_Tfp bytes and a
 * TYPE_GrData record initialised in this order: version, reserved, data
 * format, compression method, data, size, width, height. Pictures left at
 * 24 bits get no data-format line, so COMPRESS_Tfp names the member it
 * initialises: the values after it then land in their members whether the
 * data-format line is there or not, and a missing data format reads 0. */
#ifndef TYPE_H
#define TYPE_H

typedef unsigned char byte;

/* Pixel layouts of the data format member. */
enum {
  OSD_RGB24 = 0, /* three bytes per pixel: red, green, blue */
  OSD_256 = 1,   /* one palette index per pixel */
  OSD_1555 = 2   /* 16 bits per pixel, high byte first */
};

/* Compression methods. */
enum { COMPRESS_METHOD_TFP = 1 };
#define COMPRESS_Tfp .compression = COMPRESS_METHOD_TFP

typedef struct {
  int version;
  int reserved;
  int dataFormat;
  int compression;
  const byte *data;
  long size; /* uncompressed bytes: width x height x bytes per pixel */
  int width;
  int height;
} TYPE_GrData;

#endif
