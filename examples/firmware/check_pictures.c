/* Links the records that krelt_add_assets built from pictures/ and checks
 * each one: its size is width x height x bytes per pixel, and its
 * COMPRESS_Tfp stream holds exactly that many bytes in chunks whose CRC-16
 * check words hold. Exits 0 when every record passes. */
#include <stdio.h>

#include "type.h"

extern TYPE_GrData _logoGd;    /* logo.bmp, 24-bit */
extern TYPE_GrData _badgeGd;   /* badge.pcx, 256 colours */
extern TYPE_GrData *_spinGds[]; /* spin.xsp, 4 frames */
extern TYPE_GrData _photo24Gd; /* photo24.pcx with --1555 */

struct Expected {
  const char *name;
  const TYPE_GrData *record;
  int width;
  int height;
  int dataFormat;
};

static unsigned Be16(const byte *p) { return (unsigned)p[0] << 8 | p[1]; }

/* CRC-16/ARC: reflected polynomial 0xA001, initial value 0. */
static unsigned Crc16(const byte *p, unsigned long count) {
  unsigned crc = 0;
  while (count-- > 0) {
    int bit;
    crc ^= *p++;
    for (bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xA001u : crc >> 1;
  }
  return crc;
}

static int BytesPerPixel(int dataFormat) {
  switch (dataFormat) {
    case OSD_256: return 1;
    case OSD_1555: return 2;
    default: return 3;
  }
}

/* The number of bytes the stream stands for, or -1 when a length or a
 * check word is wrong. */
static long StreamLength(const byte *stream) {
  unsigned chunks, i;
  long total = 0;
  if (Be16(stream) != 8 || Crc16(stream + 4, 6) != Be16(stream + 2)) return -1;
  chunks = Be16(stream + 8);
  stream += 10;
  for (i = 0; i < chunks; ++i) {
    const unsigned following = Be16(stream);
    if (following < 6 || Crc16(stream + 4, following - 2) != Be16(stream + 2)) return -1;
    total += (long)Be16(stream + 6);
    stream += 2 + following;
  }
  return total;
}

static int Check(const struct Expected *e) {
  const TYPE_GrData *r = e->record;
  const long size = (long)e->width * e->height * BytesPerPixel(e->dataFormat);
  if (r->version != 1 || r->compression != COMPRESS_METHOD_TFP ||
      r->dataFormat != e->dataFormat || r->width != e->width || r->height != e->height) {
    printf("%s: header %d %d %d %dx%d\n", e->name, r->version, r->compression,
           r->dataFormat, r->width, r->height);
    return 0;
  }
  if (r->size != size || StreamLength(r->data) != size) {
    printf("%s: size %ld, stream %ld, expected %ld\n", e->name, r->size,
           StreamLength(r->data), size);
    return 0;
  }
  printf("%s: %dx%d, %ld bytes\n", e->name, r->width, r->height, r->size);
  return 1;
}

int main(void) {
  const struct Expected expected[] = {
      {"logo", &_logoGd, 64, 48, OSD_RGB24},
      {"badge", &_badgeGd, 80, 40, OSD_256},
      {"spin0", _spinGds[0], 16, 16, OSD_256},
      {"spin1", _spinGds[1], 24, 16, OSD_256},
      {"spin2", _spinGds[2], 20, 20, OSD_256},
      {"spin3", _spinGds[3], 16, 24, OSD_256},
      {"photo24", &_photo24Gd, 48, 32, OSD_1555},
  };
  int failures = 0;
  unsigned i;
  for (i = 0; i < sizeof expected / sizeof expected[0]; ++i) {
    failures += !Check(&expected[i]);
  }
  return failures == 0 ? 0 : 1;
}
