/* The quantiser's two-pass method written plainly in C, as the yardstick of
 * the whole-process benchmark: a binary PPM (P6, 8-bit) in, the palette and
 * the indices out, raw. The method is that of src/codec/quantizer.cpp with
 * the same results: median cut over a 32x64x32 histogram (blue first), then
 * serpentine Floyd-Steinberg with a limited error and a nearest-colour cache
 * filled 4x8x4 cells at a time; 255 colours at most.
 *
 * Output: a line "width height colours\n", colours x (red, green, blue),
 * then width x height indices row by row. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define B0 5
#define B1 6
#define B2 5
#define E0 (1 << B0)
#define E1 (1 << B1)
#define E2 (1 << B2)
#define S0 (8 - B0)
#define S1 (8 - B1)
#define S2 (8 - B2)
#define K0 2
#define K1 3
#define K2 1
#define L0 (B0 - 3)
#define L1 (B1 - 3)
#define L2 (B2 - 3)
#define BE0 (1 << L0)
#define BE1 (1 << L1)
#define BE2 (1 << L2)
#define BS0 (S0 + L0)
#define BS1 (S1 + L1)
#define BS2 (S2 + L2)
#define MAXCOLOURS 255

#define CELL(c0, c1, c2) (((size_t)(c0)*E1 + (size_t)(c1)) * E2 + (size_t)(c2))

typedef struct {
    int c0min, c0max, c1min, c1max, c2min, c2max;
    long long volume;
    long count;
} box;

static uint16_t hist[E0 * E1 * E2];
static uint8_t colour[256][3]; /* blue, green, red */
static int ncolours;
static int limit[511];

static void update_box(box* b) {
    int min0 = b->c0max, max0 = b->c0min, min1 = b->c1max, max1 = b->c1min;
    int min2 = b->c2max, max2 = b->c2min;
    long count = 0;
    for (int c0 = b->c0min; c0 <= b->c0max; ++c0)
        for (int c1 = b->c1min; c1 <= b->c1max; ++c1)
            for (int c2 = b->c2min; c2 <= b->c2max; ++c2)
                if (hist[CELL(c0, c1, c2)]) {
                    ++count;
                    if (c0 < min0) min0 = c0;
                    if (c0 > max0) max0 = c0;
                    if (c1 < min1) min1 = c1;
                    if (c1 > max1) max1 = c1;
                    if (c2 < min2) min2 = c2;
                    if (c2 > max2) max2 = c2;
                }
    if (count > 0) {
        b->c0min = min0, b->c0max = max0, b->c1min = min1, b->c1max = max1;
        b->c2min = min2, b->c2max = max2;
    }
    long long d0 = (long long)((b->c0max - b->c0min) << S0) * K0;
    long long d1 = (long long)((b->c1max - b->c1min) << S1) * K1;
    long long d2 = (long long)((b->c2max - b->c2min) << S2) * K2;
    b->volume = d0 * d0 + d1 * d1 + d2 * d2;
    b->count = count;
}

static void box_colour(const box* b, uint8_t* out) {
    long long total = 0, t0 = 0, t1 = 0, t2 = 0;
    for (int c0 = b->c0min; c0 <= b->c0max; ++c0)
        for (int c1 = b->c1min; c1 <= b->c1max; ++c1)
            for (int c2 = b->c2min; c2 <= b->c2max; ++c2) {
                long long n = hist[CELL(c0, c1, c2)];
                if (!n) continue;
                total += n;
                t0 += ((c0 << S0) + ((1 << S0) >> 1)) * n;
                t1 += ((c1 << S1) + ((1 << S1) >> 1)) * n;
                t2 += ((c2 << S2) + ((1 << S2) >> 1)) * n;
            }
    if (!total) {
        out[0] = out[1] = out[2] = 0;
        return;
    }
    out[0] = (uint8_t)((t0 + (total >> 1)) / total);
    out[1] = (uint8_t)((t1 + (total >> 1)) / total);
    out[2] = (uint8_t)((t2 + (total >> 1)) / total);
}

static void select_colours(int max) {
    static box boxes[256];
    int n = 1;
    boxes[0] = (box){0, E0 - 1, 0, E1 - 1, 0, E2 - 1, 0, 0};
    update_box(&boxes[0]);
    while (n < max) {
        box* b1 = NULL;
        if (n * 2 <= max) {
            long best = 0;
            for (int i = 0; i < n; ++i)
                if (boxes[i].count > best && boxes[i].volume > 0)
                    b1 = &boxes[i], best = boxes[i].count;
        } else {
            long long best = 0;
            for (int i = 0; i < n; ++i)
                if (boxes[i].volume > best) b1 = &boxes[i], best = boxes[i].volume;
        }
        if (!b1) break;
        box* b2 = &boxes[n++];
        *b2 = *b1;
        int len0 = ((b1->c0max - b1->c0min) << S0) * K0;
        int len1 = ((b1->c1max - b1->c1min) << S1) * K1;
        int len2 = ((b1->c2max - b1->c2min) << S2) * K2;
        int axis = 1, longest = len1;
        if (len0 > longest) axis = 0, longest = len0;
        if (len2 > longest) axis = 2;
        if (axis == 0) {
            int mid = (b1->c0max + b1->c0min) / 2;
            b1->c0max = mid;
            b2->c0min = mid + 1;
        } else if (axis == 1) {
            int mid = (b1->c1max + b1->c1min) / 2;
            b1->c1max = mid;
            b2->c1min = mid + 1;
        } else {
            int mid = (b1->c2max + b1->c2min) / 2;
            b1->c2max = mid;
            b2->c2min = mid + 1;
        }
        update_box(b1);
        update_box(b2);
    }
    ncolours = n;
    for (int i = 0; i < n; ++i) box_colour(&boxes[i], colour[i]);
}

static void axis_dist(int x, int lo, int hi, int centre, int scale, long long* mind,
                      long long* maxd) {
    long long t;
    if (x < lo) {
        t = (long long)(x - lo) * scale;
        *mind += t * t;
        t = (long long)(x - hi) * scale;
        *maxd += t * t;
    } else if (x > hi) {
        t = (long long)(x - hi) * scale;
        *mind += t * t;
        t = (long long)(x - lo) * scale;
        *maxd += t * t;
    } else {
        t = (long long)(x <= centre ? x - hi : x - lo) * scale;
        *maxd += t * t;
    }
}

static void fill_inverse(int c0, int c1, int c2) {
    c0 >>= L0;
    c1 >>= L1;
    c2 >>= L2;
    int minc0 = (c0 << BS0) + ((1 << S0) >> 1);
    int minc1 = (c1 << BS1) + ((1 << S1) >> 1);
    int minc2 = (c2 << BS2) + ((1 << S2) >> 1);
    int maxc0 = minc0 + ((1 << BS0) - (1 << S0));
    int maxc1 = minc1 + ((1 << BS1) - (1 << S1));
    int maxc2 = minc2 + ((1 << BS2) - (1 << S2));
    int centre0 = (minc0 + maxc0) >> 1;
    int centre1 = (minc1 + maxc1) >> 1;
    int centre2 = (minc2 + maxc2) >> 1;
    long long mindist[256];
    long long minmax = 0x7FFFFFFF;
    for (int i = 0; i < ncolours; ++i) {
        long long mind = 0, maxd = 0;
        axis_dist(colour[i][0], minc0, maxc0, centre0, K0, &mind, &maxd);
        axis_dist(colour[i][1], minc1, maxc1, centre1, K1, &mind, &maxd);
        axis_dist(colour[i][2], minc2, maxc2, centre2, K2, &mind, &maxd);
        mindist[i] = mind;
        if (maxd < minmax) minmax = maxd;
    }
    const long long st0 = (1 << S0) * K0, st1 = (1 << S1) * K1, st2 = (1 << S2) * K2;
    long long bestdist[BE0 * BE1 * BE2];
    uint8_t best[BE0 * BE1 * BE2];
    for (int k = 0; k < BE0 * BE1 * BE2; ++k) bestdist[k] = 0x7FFFFFFF, best[k] = 0;
    for (int i = 0; i < ncolours; ++i) {
        if (mindist[i] > minmax) continue;
        long long inc0 = (long long)(minc0 - colour[i][0]) * K0;
        long long inc1 = (long long)(minc1 - colour[i][1]) * K1;
        long long inc2 = (long long)(minc2 - colour[i][2]) * K2;
        long long dist0 = inc0 * inc0 + inc1 * inc1 + inc2 * inc2;
        inc0 = inc0 * (2 * st0) + st0 * st0;
        inc1 = inc1 * (2 * st1) + st1 * st1;
        inc2 = inc2 * (2 * st2) + st2 * st2;
        int k = 0;
        long long xx0 = inc0;
        for (int i0 = 0; i0 < BE0; ++i0) {
            long long dist1 = dist0, xx1 = inc1;
            for (int i1 = 0; i1 < BE1; ++i1) {
                long long dist2 = dist1, xx2 = inc2;
                for (int i2 = 0; i2 < BE2; ++i2, ++k) {
                    if (dist2 < bestdist[k]) bestdist[k] = dist2, best[k] = (uint8_t)i;
                    dist2 += xx2;
                    xx2 += 2 * st2 * st2;
                }
                dist1 += xx1;
                xx1 += 2 * st1 * st1;
            }
            dist0 += xx0;
            xx0 += 2 * st0 * st0;
        }
    }
    c0 <<= L0;
    c1 <<= L1;
    c2 <<= L2;
    int k = 0;
    for (int i0 = 0; i0 < BE0; ++i0)
        for (int i1 = 0; i1 < BE1; ++i1)
            for (int i2 = 0; i2 < BE2; ++i2)
                hist[CELL(c0 + i0, c1 + i1, c2 + i2)] = (uint16_t)(best[k++] + 1);
}

static void init_limit(void) {
    int in = 0, out = 0;
    for (; in < 16; ++in, ++out) limit[255 + in] = out, limit[255 - in] = -out;
    for (; in < 48; ++in, out += (in & 1) ? 0 : 1) limit[255 + in] = out, limit[255 - in] = -out;
    for (; in <= 255; ++in) limit[255 + in] = out, limit[255 - in] = -out;
}

static int clamp255(int v) {
    return v < 0 ? 0 : v > 255 ? 255 : v;
}

/* pixels: red, green, blue per pixel, as the file holds them; blue is the
 * first component of the method. */
static void map(const uint8_t* pixels, int width, int height, uint8_t* out) {
    memset(hist, 0, sizeof hist);
    int* errors = calloc((size_t)(width + 2) * 3, sizeof(int));
    int odd = 0;
    for (int y = 0; y < height; ++y) {
        const uint8_t* in = pixels + (size_t)y * width * 3;
        uint8_t* o = out + (size_t)y * width;
        long x, dir;
        int* err;
        if (odd) {
            x = width - 1, dir = -1, err = errors + (size_t)(width + 1) * 3;
        } else {
            x = 0, dir = 1, err = errors;
        }
        odd = !odd;
        long dir3 = dir * 3;
        int cur0 = 0, cur1 = 0, cur2 = 0, below0 = 0, below1 = 0, below2 = 0;
        int prev0 = 0, prev1 = 0, prev2 = 0;
        for (int n = 0; n < width; ++n, x += dir, err += dir3) {
            const uint8_t* p = in + 3 * x;
            cur0 = clamp255(limit[255 + ((cur0 + err[dir3 + 0] + 8) >> 4)] + p[2]);
            cur1 = clamp255(limit[255 + ((cur1 + err[dir3 + 1] + 8) >> 4)] + p[1]);
            cur2 = clamp255(limit[255 + ((cur2 + err[dir3 + 2] + 8) >> 4)] + p[0]);
            size_t cell = CELL(cur0 >> S0, cur1 >> S1, cur2 >> S2);
            if (!hist[cell]) fill_inverse(cur0 >> S0, cur1 >> S1, cur2 >> S2);
            int index = hist[cell] - 1;
            o[x] = (uint8_t)index;
            cur0 -= colour[index][0];
            cur1 -= colour[index][1];
            cur2 -= colour[index][2];
            err[0] = prev0 + cur0 * 3;
            prev0 = below0 + cur0 * 5;
            below0 = cur0;
            cur0 *= 7;
            err[1] = prev1 + cur1 * 3;
            prev1 = below1 + cur1 * 5;
            below1 = cur1;
            cur1 *= 7;
            err[2] = prev2 + cur2 * 3;
            prev2 = below2 + cur2 * 5;
            below2 = cur2;
            cur2 *= 7;
        }
        err[0] = prev0;
        err[1] = prev1;
        err[2] = prev2;
    }
    free(errors);
}

/* The next header number of a PPM, skipping white space and comments. */
static int ppm_number(FILE* f, int* v) {
    int c = fgetc(f);
    for (;;) {
        while (c == ' ' || c == '\t' || c == '\r' || c == '\n') c = fgetc(f);
        if (c != '#') break;
        while (c != '\n' && c != EOF) c = fgetc(f);
    }
    if (c < '0' || c > '9') return 0;
    *v = 0;
    while (c >= '0' && c <= '9') {
        *v = *v * 10 + (c - '0');
        if (*v > 65535) return 0;
        c = fgetc(f);
    }
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: %s in.ppm out.raw\n", argv[0]);
        return 2;
    }
    FILE* f = fopen(argv[1], "rb");
    int width, height, maxval;
    if (!f || fgetc(f) != 'P' || fgetc(f) != '6' || !ppm_number(f, &width) ||
        !ppm_number(f, &height) || !ppm_number(f, &maxval) || maxval != 255 || width <= 0 ||
        height <= 0) {
        fprintf(stderr, "%s: not an 8-bit binary PPM\n", argv[1]);
        return 1;
    }
    size_t count = (size_t)width * height;
    uint8_t* pixels = malloc(count * 3);
    uint8_t* indices = malloc(count);
    if (!pixels || !indices || fread(pixels, 3, count, f) != count) {
        fprintf(stderr, "%s: short file\n", argv[1]);
        return 1;
    }
    fclose(f);
    for (size_t i = 0; i < count; ++i) {
        uint16_t* h =
            &hist[CELL(pixels[3 * i + 2] >> S0, pixels[3 * i + 1] >> S1, pixels[3 * i] >> S2)];
        if (*h != 0xFFFF) ++*h;
    }
    select_colours(MAXCOLOURS);
    init_limit();
    map(pixels, width, height, indices);
    FILE* o = fopen(argv[2], "wb");
    if (!o) {
        fprintf(stderr, "%s: cannot create\n", argv[2]);
        return 1;
    }
    fprintf(o, "%d %d %d\n", width, height, ncolours);
    for (int i = 0; i < ncolours; ++i) {
        const uint8_t rgb[3] = {colour[i][2], colour[i][1], colour[i][0]};
        fwrite(rgb, 1, 3, o);
    }
    fwrite(indices, 1, count, o);
    if (fclose(o) != 0) {
        fprintf(stderr, "%s: write failed\n", argv[2]);
        return 1;
    }
    free(pixels);
    free(indices);
    return 0;
}
