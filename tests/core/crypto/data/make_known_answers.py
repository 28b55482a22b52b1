#!/usr/bin/env python3
"""Writes known_answers.txt: expected outputs of text and file encryption,
computed by a second, independent implementation of the construction built
on the Blowfish of python-cryptography (not on our C++ code).

    python3 tests/core/crypto/data/make_known_answers.py > tests/core/crypto/data/known_answers.txt

Line format (fields separated by one space):
    text <password hex|-> <length> <expected Base64>
    file <password hex|-> <length> <expected sha1 of the whole encrypted file>
The plaintext of length n is bytes (i * 37 + 11) mod 256 for i = 0..n-1;
"-" stands for the empty password.
"""
import base64
import hashlib

from cryptography.hazmat.decrepit.ciphers.algorithms import Blowfish
from cryptography.hazmat.primitives.ciphers import Cipher, modes


class Block:
    def __init__(self, key):
        self.enc = Cipher(Blowfish(key), modes.ECB()).encryptor()
        self.dec = Cipher(Blowfish(key), modes.ECB()).decryptor()

    def e(self, b):
        return self.enc.update(b)


def xor(a, b):
    return bytes(x ^ y for x, y in zip(a, b))


def cbc_encrypt(bf, iv, data):
    out, cv = bytearray(), iv
    whole = len(data) // 8 * 8
    for i in range(0, whole, 8):
        cv = bf.e(xor(data[i:i + 8], cv))
        out += cv
    tail = data[whole:]
    if tail:
        out += xor(tail, bf.e(cv)[:len(tail)])
    return bytes(out)


def cfb8_encrypt(bf, iv, data):
    out, reg = bytearray(), iv
    for b in data:
        c = b ^ bf.e(reg)[0]
        out.append(c)
        reg = reg[1:] + bytes([c])
    return bytes(out)


def plaintext(n):
    return bytes((i * 37 + 11) % 256 for i in range(n))


def encrypt_text(data, pw):
    key = hashlib.sha1(pw).digest()
    bf = Block(key)
    return base64.b64encode(cfb8_encrypt(bf, bf.e(b"\xff" * 8), data)).decode()


def encrypt_file(data, pw):
    k32 = hashlib.sha1(pw).digest() + b"\xff" * 12
    bf = Block(k32)
    iv = bf.e(b"\xff" * 8)
    return cbc_encrypt(bf, iv, k32) + cbc_encrypt(bf, iv, data)


PASSWORDS = [b"", b"a", b"password", "தமிழ் 2024".encode(), bytes(range(256)), b"\xff" * 3]
TEXT_LENGTHS = [0, 1, 2, 3, 4, 7, 8, 9, 13, 64, 257]
FILE_LENGTHS = [0, 1, 7, 8, 9, 13, 32, 33, 8191, 8192, 8193, 262143, 262144, 262145, 262151, 600001]

for pw in PASSWORDS:
    tag = pw.hex() if pw else "-"
    for n in TEXT_LENGTHS:
        print("text", tag, n, encrypt_text(plaintext(n), pw))
for pw in PASSWORDS[:4]:
    tag = pw.hex() if pw else "-"
    for n in FILE_LENGTHS:
        print("file", tag, n, hashlib.sha1(encrypt_file(plaintext(n), pw)).hexdigest())
