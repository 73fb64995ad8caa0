/* The limit a demux or a scan is measured against: a plain sequential read
 * of a file into a page-aligned buffer and, when asked, writing a number of
 * bytes to another file, as a program of its own.
 *   plain_read <file> [<out-file> <bytes>]
 */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

enum { kPiece = 1 << 20 };

int main(int argc, char** argv) {
    if (argc != 2 && argc != 4) {
        fprintf(stderr, "usage: plain_read <file> [<out-file> <bytes>]\n");
        return 2;
    }
    unsigned char* buffer = aligned_alloc(4096, kPiece);
    int fd = open(argv[1], O_RDONLY);
    if (!buffer || fd < 0) {
        perror(argv[1]);
        return 1;
    }
    unsigned long long total = 0, sum = 0;
    ssize_t n;
    while ((n = read(fd, buffer, kPiece)) > 0) {
        total += (unsigned long long)n;
        sum += buffer[n - 1];
    }
    close(fd);
    if (n < 0) {
        perror(argv[1]);
        return 1;
    }
    if (argc == 4) {
        unsigned long long left = strtoull(argv[3], NULL, 10);
        int out = open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0) {
            perror(argv[2]);
            return 1;
        }
        while (left > 0) {
            const size_t piece = left < kPiece ? (size_t)left : kPiece;
            const ssize_t w = write(out, buffer, piece);
            if (w <= 0) {
                perror(argv[2]);
                return 1;
            }
            left -= (unsigned long long)w;
        }
        if (close(out) != 0) return 1;
    }
    printf("%llu bytes (%llu)\n", total, sum & 0xFF);
    free(buffer);
    return 0;
}
