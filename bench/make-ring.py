#!/usr/bin/env python3
"""Writes a ring of Ed25519 keys (each with a Curve25519 encryption subkey) and their
certifications as binary OpenPGP packets, for gpg --import.

Making the keys here takes seconds where gpg takes one run per certification. The keys
are the same on every run (seeds from the key number), so two listings of rings made alike
compare line by line.

usage: make-ring.py KEYS CERTS OUT [SIGNER-SECRET-EXPORT ...]
  KEYS    keys to make
  CERTS   certifications on each key (by other keys of the ring; one key in seven also
          gets one from a key that is not in the ring)
  SIGNER-SECRET-EXPORT  unprotected secret keys exported by gpg; the first one's primary
          key certifies every key made here, so an own key with a pass phrase-less secret
          is among the signers as in a user's ring
"""
import hashlib
import struct
import sys

from cryptography.hazmat.primitives.asymmetric.ed25519 import Ed25519PrivateKey
from cryptography.hazmat.primitives.asymmetric.x25519 import X25519PrivateKey
from cryptography.hazmat.primitives import serialization

ED25519_OID = bytes.fromhex("2B06010401DA470F01")
CV25519_OID = bytes.fromhex("2B060104019755010501")
RAW = serialization.Encoding.Raw, serialization.PublicFormat.Raw
BASE_TIME = 1600000000


def mpi(b: bytes) -> bytes:
    b = b.lstrip(b"\0")
    bits = (len(b) - 1) * 8 + b[0].bit_length() if b else 0
    return struct.pack(">H", bits) + b


def packet(tag: int, body: bytes) -> bytes:
    # New-format header.
    n = len(body)
    if n < 192:
        head = bytes([n])
    elif n < 8384:
        n -= 192
        head = bytes([(n >> 8) + 192, n & 0xFF])
    else:
        head = b"\xff" + struct.pack(">I", n)
    return bytes([0xC0 | tag]) + head + body


def subpacket(kind: int, data: bytes) -> bytes:
    return bytes([len(data) + 1, kind]) + data


class Key:
    def __init__(self, seed: bytes, created: int):
        self.sk = Ed25519PrivateKey.from_private_bytes(seed)
        point = b"\x40" + self.sk.public_key().public_bytes(*RAW)
        self.body = bytes([4]) + struct.pack(">I", created) + bytes([22, len(ED25519_OID)]) + ED25519_OID + mpi(point)
        self.fpr = hashlib.sha1(b"\x99" + struct.pack(">H", len(self.body)) + self.body).digest()
        self.keyid = self.fpr[-8:]

    def hashed_key(self) -> bytes:
        return b"\x99" + struct.pack(">H", len(self.body)) + self.body

    def sign(self, sigtype: int, created: int, prefix: bytes, extra_hashed: bytes = b"") -> bytes:
        hashed = subpacket(33, b"\x04" + self.fpr) + subpacket(2, struct.pack(">I", created)) + extra_hashed
        head = bytes([4, sigtype, 22, 8]) + struct.pack(">H", len(hashed)) + hashed
        trailer = b"\x04\xff" + struct.pack(">I", len(head))
        digest = hashlib.sha256(prefix + head + trailer).digest()
        sig = self.sk.sign(digest)
        unhashed = subpacket(16, self.keyid)
        return packet(2, head + struct.pack(">H", len(unhashed)) + unhashed + digest[:2] + mpi(sig[:32]) + mpi(sig[32:]))


def uid_prefix(uid: bytes) -> bytes:
    return b"\xb4" + struct.pack(">I", len(uid)) + uid


def read_packets(data: bytes):
    i = 0
    while i < len(data):
        b = data[i]
        i += 1
        if b & 0x40:
            tag = b & 0x3F
            o = data[i]
            i += 1
            if o < 192:
                n = o
            elif o < 224:
                n = ((o - 192) << 8) + data[i] + 192
                i += 1
            else:
                n = struct.unpack(">I", data[i:i + 4])[0]
                i += 4
        else:
            tag = (b >> 2) & 0x0F
            lt = b & 3
            size = [1, 2, 4][lt]
            n = int.from_bytes(data[i:i + size], "big")
            i += size
        yield tag, data[i:i + n]
        i += n


class ExportedKey(Key):
    """The primary key of gpg's unprotected secret key export."""

    def __init__(self, data: bytes):
        for tag, body in read_packets(data):
            if tag == 5:
                break
        else:
            raise SystemExit("no secret key packet in the export")
        # version, time, algo, OID, public point MPI, then S2K usage 0 and the secret MPI.
        oid_len = body[6]
        p = 7 + oid_len
        bits = struct.unpack(">H", body[p:p + 2])[0]
        p += 2 + (bits + 7) // 8
        self.body = body[:p]
        if body[5] != 22 or body[p] != 0:
            raise SystemExit("the signer must be an unprotected Ed25519 key")
        p += 1
        bits = struct.unpack(">H", body[p:p + 2])[0]
        seed = body[p + 2:p + 2 + (bits + 7) // 8].rjust(32, b"\0")
        self.sk = Ed25519PrivateKey.from_private_bytes(seed)
        self.fpr = hashlib.sha1(self.hashed_key()).digest()
        self.keyid = self.fpr[-8:]


def seed(label: str) -> bytes:
    return hashlib.sha256(b"quorbix bench ring " + label.encode()).digest()


def main():
    count, certs, out = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
    own = [ExportedKey(open(f, "rb").read()) for f in sys.argv[4:]]
    keys = [Key(seed(str(i)), BASE_TIME + i * 60) for i in range(1, count + 1)]
    stranger = Key(seed("stranger"), BASE_TIME)
    with open(out, "wb") as f:
        for i, k in enumerate(keys):
            n = i + 1
            uid = f"Bench User {n} <user{n}@bench.example>".encode()
            created = BASE_TIME + n * 60
            f.write(packet(6, k.body))
            f.write(packet(13, uid))
            prefix = k.hashed_key() + uid_prefix(uid)
            f.write(k.sign(0x13, created, prefix, subpacket(27, b"\x03")))
            signers = own[:1]
            step = 1
            while len(signers) < certs and step < count:
                # Spread over the ring, never the key itself.
                j = (i * 7 + step * 131) % count
                if j != i and keys[j] not in signers:
                    signers.append(keys[j])
                step += 1
            if n % 7 == 0:
                signers.append(stranger)
            for s in signers:
                f.write(s.sign(0x10, created + 30, prefix))
            enc = X25519PrivateKey.from_private_bytes(seed(f"enc {n}"))
            point = b"\x40" + enc.public_key().public_bytes(*RAW)
            sub = (bytes([4]) + struct.pack(">I", created) + bytes([18, len(CV25519_OID)]) + CV25519_OID
                   + mpi(point) + bytes([3, 1, 8, 7]))
            f.write(packet(14, sub))
            sub_prefix = k.hashed_key() + b"\x99" + struct.pack(">H", len(sub)) + sub
            f.write(k.sign(0x18, created, sub_prefix, subpacket(27, b"\x0c")))


if __name__ == "__main__":
    main()
