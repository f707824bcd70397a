#!/usr/bin/env bash
# The release build: two builds of this commit in different folders are the same bytes (the
# checkout's own build/windows, which scripts/test has built, and a copy built here from
# scratch); the release executable passes the executable check; a build with an icon carries
# it; signing with a throw-away certificate gives a signature that verifies.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/a"
git -C "$root" ls-files -z | (cd "$root" && xargs -0 tar -cf -) | tar -xf - -C "$work/a"
cmake -S "$work/a" --preset windows -B "$work/a/build" -DKLV_CURL_PREFIX="$root/.cache/curl-mingw" >/dev/null
cmake --build "$work/a/build" >/dev/null
cmp "$root/build/windows/klv-launcher.exe" "$work/a/build/klv-launcher.exe"
echo "release: two builds in different folders are identical"
python3 "$root/tests/check_executable.py" "$work/a/build/klv-launcher.exe" 2>&1 | tail -n 1

convert -size 16x16 xc:#2a6db0 "$work/klv.ico"
cmake "$work/a/build" -DKLV_ICON="$work/klv.ico" >/dev/null
cmake --build "$work/a/build" >/dev/null
python3 - "$work/klv.ico" "$work/a/build/klv-launcher.exe" <<'PY'
import struct, sys
icon, exe = (open(path, "rb").read() for path in sys.argv[1:])
size, offset = struct.unpack_from("<II", icon, 6 + 8)  # the first image's entry
assert icon[offset:offset + size] in exe, "the icon's image is not in the executable"
print("release: the icon is in the executable")
PY

openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 30 \
  -subj "/CN=KLV release test" -addext extendedKeyUsage=codeSigning 2>/dev/null
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/sign.pfx" -passout pass:test
(cd "$work/a" && KLV_SIGN_PFX="$work/sign.pfx" KLV_SIGN_PASSWORD=test KLV_RELEASE_BUILD_DIR=build \
  KLV_CURL_PREFIX="$root/.cache/curl-mingw" bash scripts/release >/dev/null)
osslsigncode verify -CAfile "$work/cert.pem" -in "$work/a/dist/klv-launcher.exe" | grep -q "Signature verification: ok"
echo "release: the signed executable verifies"
