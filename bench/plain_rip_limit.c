/* The limit a rip is measured against: reading its clips with a plain
 * page-aligned read loop and writing the files the rip writes (the same
 * folders, names and sizes, listed in a manifest) with plain write calls,
 * as a program of its own.
 *   plain_rip_limit <manifest> <out-folder> <clip>...
 * Each manifest line: <size in bytes> <path under out-folder>.
 */
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

enum { kPiece = 1 << 20 };

/* Makes every folder above path's last component. */
static int MakeParents(char* path) {
    for (char* p = strchr(path + 1, '/'); p; p = strchr(p + 1, '/')) {
        *p = 0;
        const int rc = mkdir(path, 0755);
        *p = '/';
        if (rc != 0 && errno != EEXIST) return -1;
    }
    return 0;
}

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: plain_rip_limit <manifest> <out-folder> <clip>...\n");
        return 2;
    }
    unsigned char* buffer = aligned_alloc(4096, kPiece);
    if (!buffer) return 1;
    unsigned long long sum = 0;
    for (int i = 3; i < argc; ++i) {
        const int fd = open(argv[i], O_RDONLY);
        if (fd < 0) {
            perror(argv[i]);
            return 1;
        }
        ssize_t n;
        while ((n = read(fd, buffer, kPiece)) > 0) sum += buffer[n - 1];
        close(fd);
        if (n < 0) {
            perror(argv[i]);
            return 1;
        }
    }
    memset(buffer, 0x5A, kPiece);
    FILE* manifest = fopen(argv[1], "r");
    if (!manifest) {
        perror(argv[1]);
        return 1;
    }
    char name[4096], path[8192];
    unsigned long long size;
    while (fscanf(manifest, "%llu %4095s", &size, name) == 2) {
        snprintf(path, sizeof path, "%s/%s", argv[2], name);
        if (MakeParents(path) != 0) {
            perror(path);
            return 1;
        }
        const int out = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0) {
            perror(path);
            return 1;
        }
        while (size > 0) {
            const size_t n = size < kPiece ? (size_t)size : kPiece;
            if (write(out, buffer, n) != (ssize_t)n) {
                perror(path);
                return 1;
            }
            size -= n;
        }
        if (close(out) != 0) {
            perror(path);
            return 1;
        }
    }
    fclose(manifest);
    return sum == 0xFFFFFFFFFFFFFFFFull; /* keeps the reads */
}
