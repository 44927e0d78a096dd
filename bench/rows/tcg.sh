# The TCG tool's key derivation, as bench/pbkdf2 measures it (best of five, beside OpenSSL).

row_pbkdf2() {
    local line
    line=$(bench/pbkdf2 | tail -1)
    bench_row "PBKDF2-HMAC-SHA-512, 500000 iterations, s" "$(echo "$line" | awk '{print $(NF - 3)}')" \
        openssl "$(echo "$line" | awk '{print $(NF - 1)}')"
}

BENCH_ROWS+=(row_pbkdf2)
