#!/usr/bin/env python3
"""lh2enc: an -lh2- compressor and LZH archive writer (header levels 0, 1, 2).

Follows the -lh2- decoding rules of the project's own decoder (adaptive
Huffman trees, MSB-first bit order, CRC-16, the decode driver's match rules)
and writes LZH headers of levels 0, 1 and 2. Python 3, standard library only.

The encoder keeps a copy of the decoder's adaptive state and walks it the same
way: to send a symbol it takes the path from the symbol's leaf to the root in
the current tree, writes the bits root first (bit 0 = child node k, bit 1 =
child node k - 1, where k = nodeChild[parent]), and then applies exactly the
update the decoder applies after reading it (countSymbol / countDistance, with
the rebuilds at 0x8000, and the distance-tree growth of readDistanceAdaptive).
The tree state is process-wide, as in the decoder: one Lh2Model serves all
members of one archive, in archive order.

Command line:
  lh2enc.py [-l LEVEL] [-t UNIXTIME] OUT.lzh MEMBER [MEMBER ...]
     MEMBER is NAME=FILE for a file member, or NAME/ for a folder entry (-lhd-,
     levels 1 and 2 only). NAME uses '/' between folders and is written as
     Shift-JIS (cp932). Default level 2, default time 1700086400.
"""
import os
import sys

# The archive's headers and CRC-16 come from the end-to-end tests' archive
# writer, so that both write members the same way.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "e2e"))
from lzhmake import crc16, member_header  # noqa: E402

M16 = 0xFFFF
M32 = 0xFFFFFFFF

# ------------------------------------------------------------------ bit output (MSB first)
class BitWriter:
    def __init__(self):
        self.out = bytearray()
        self.acc = 0
        self.n = 0
        self.bits = 0

    def write(self, value, length):
        if length == 0:
            return
        self.acc = (self.acc << length) | value
        self.n += length
        self.bits += length
        out = self.out
        while self.n >= 8:
            self.n -= 8
            out.append((self.acc >> self.n) & 0xFF)
        self.acc &= (1 << self.n) - 1

    def finish(self):
        if self.n:
            self.out.append((self.acc << (8 - self.n)) & 0xFF)
            self.n = 0
            self.acc = 0
        return bytes(self.out)


# ------------------------------------------------------------------ adaptive trees
class Lh2Model:
    """The decoder's process-wide adaptive-tree state, with its update operations."""

    DISTANCE_ROOT = 628

    def __init__(self):
        self.nodeWeight = [0] * 884
        self.nodeChild = [0] * 884
        self.nodeParent = [0] * 884
        self.nodeGroup = [0] * 884
        self.groupLeader = [0] * 884
        self.freeGroups = [0] * 884
        self.leafNode = [0] * 442
        self.freeGroupTop = 0
        self.symbolCount = 0
        self.maxMatch = 0
        self.escapeSymbol = 0
        self.lastDistanceNode = 0
        self.distanceLimit = 0
        self.nextGrowth = 0
        self.distanceTotal = 0
        self.dictionaryBits = 13
        self.stats = {}

    # group id stack
    def _take(self):
        g = self.freeGroups[self.freeGroupTop]
        self.freeGroupTop += 1
        return g

    def _give(self, g):
        self.freeGroupTop -= 1
        self.freeGroups[self.freeGroupTop] = g

    def startAdaptiveSymbols(self):
        n = self.symbolCount
        W, C, P, G, GL = self.nodeWeight, self.nodeChild, self.nodeParent, self.nodeGroup, self.groupLeader
        self.escapeSymbol = 512 if n >= self.maxMatch + 254 else n - 1
        for i in range(628):
            G[i] = 0
            self.freeGroups[i] = i
        for i in range(n):
            j = 2 * n - 2 - i
            W[j] = 1
            C[j] = ~i
            self.leafNode[i] = j
            G[j] = 1
        self.freeGroupTop = 2
        GL[1] = n - 1
        i = 2 * n - 2
        for j in range(n - 2, -1, -1):
            w = (W[i] + W[i - 1]) & M16
            W[j] = w
            C[j] = i
            P[i] = P[i - 1] = j
            if w == W[j + 1]:
                G[j] = G[j + 1]
            else:
                G[j] = self._take()
            GL[G[j]] = j
            i -= 2

    def startAdaptiveDistances(self):
        self.nodeWeight[628] = 1
        self.nodeChild[628] = ~314
        self.leafNode[314] = 628
        g = self._take()
        self.nodeGroup[628] = g
        self.groupLeader[g] = 628
        self.lastDistanceNode = 628
        self.distanceTotal = 0
        self.distanceLimit = 1 << self.dictionaryBits
        self.nextGrowth = 64

    def startLh2(self):
        self.symbolCount = 286
        self.maxMatch = 256
        self.dictionaryBits = 13
        self.startAdaptiveSymbols()
        self.startAdaptiveDistances()
        self.stats = dict(symbol_rebuilds=0, distance_rebuilds=0, distance_updates=0,
                          max_symbol_code=0, max_distance_code=0, codes_16_plus=0,
                          escapes=0, matches=0, literals=0, max_distance=-1,
                          min_distance=1 << 30, max_length=0, distance_symbols=1)

    def promote(self, p):
        W, C, P, G, GL = self.nodeWeight, self.nodeChild, self.nodeParent, self.nodeGroup, self.groupLeader
        b = G[p]
        q = GL[b]
        if q != p:
            r = C[p]
            t = C[q]
            C[p] = t
            C[q] = r
            if r >= 0:
                P[r] = P[r - 1] = q
            else:
                self.leafNode[~r] = q
            if t >= 0:
                P[t] = P[t - 1] = p
            else:
                self.leafNode[~t] = p
            p = q
        elif b == G[p + 1]:
            pass
        else:
            W[p] = (W[p] + 1) & M16
            if W[p] == W[p - 1]:
                self._give(b)
                G[p] = G[p - 1]
            return P[p]
        # step 4
        GL[b] += 1
        W[p] = (W[p] + 1) & M16
        if W[p] == W[p - 1]:
            G[p] = G[p - 1]
        else:
            g = self._take()
            G[p] = g
            GL[g] = p
        return P[p]

    def rebuildTree(self, start, end):
        W, C, P, G, GL = self.nodeWeight, self.nodeChild, self.nodeParent, self.nodeGroup, self.groupLeader
        # 1. collect the leaves with halved weights
        j = start
        b = 0
        for i in range(start, end):
            if C[i] < 0:
                W[j] = (W[i] + 1) // 2
                C[j] = C[i]
                j += 1
            b = G[i]
            if GL[b] == i:
                self._give(b)
        # 2. rebuild from the back
        j -= 1
        i = end - 1
        l = end - 2
        while i >= start:
            while i >= l:
                W[i] = W[j]
                C[i] = C[j]
                i -= 1
                j -= 1
            f = W[l] + W[l + 1]
            k = start
            while f < W[k]:
                k += 1
            while j >= k:
                W[i] = W[j]
                C[i] = C[j]
                i -= 1
                j -= 1
            W[i] = f & M16
            C[i] = l + 1
            i -= 1
            l -= 2
        # 3. relink and regroup
        f = 0
        for i in range(start, end):
            x = C[i]
            if x < 0:
                self.leafNode[~x] = i
            else:
                P[x] = P[x - 1] = i
            if W[i] == f:
                G[i] = b
            else:
                b = self._take()
                G[i] = b
                GL[b] = i
                f = W[i]

    def countSymbol(self, s):
        if self.nodeWeight[0] == 0x8000:
            self.rebuildTree(0, 2 * self.symbolCount - 1)
            self.stats['symbol_rebuilds'] += 1
        self.nodeWeight[0] = (self.nodeWeight[0] + 1) & M16
        q = self.leafNode[s]
        while True:
            q = self.promote(q)
            if q == 0:
                break

    def countDistance(self, p):
        if self.distanceTotal == 0x8000:
            self.rebuildTree(628, self.lastDistanceNode + 1)
            self.distanceTotal = self.nodeWeight[628]
            self.nodeWeight[628] = 0xFFFF
            self.stats['distance_rebuilds'] += 1
        q = self.leafNode[314 + p]
        while q != 628:
            q = self.promote(q)
        self.distanceTotal = (self.distanceTotal + 1) & M16
        self.stats['distance_updates'] += 1

    def addDistanceLeaf(self, p):
        W, C, P, G, GL = self.nodeWeight, self.nodeChild, self.nodeParent, self.nodeGroup, self.groupLeader
        m = self.lastDistanceNode
        r = m + 1
        q = m + 2
        C[r] = C[m]
        self.leafNode[~C[r]] = r
        C[q] = ~(314 + p)
        C[m] = q
        W[r] = W[m]
        W[q] = 0
        G[r] = G[m]
        if m == 628:
            W[628] = 0xFFFF
            GL[G[628]] += 1
        P[r] = P[q] = m
        g = self._take()
        G[q] = g
        GL[g] = q
        self.leafNode[314 + p] = q
        self.lastDistanceNode = q
        self.stats['distance_symbols'] = p + 1
        self.countDistance(p)

    def growDistances(self, decodedCount):
        """Step 1 of readDistanceAdaptive, with the output count before the match."""
        while decodedCount > self.nextGrowth:
            self.addDistanceLeaf(self.nextGrowth // 64)
            self.nextGrowth += 64
            if self.nextGrowth >= self.distanceLimit:
                self.nextGrowth = M32

    # ---------------------------------------------------------- code of a leaf
    def leafCode(self, node, root):
        """Bits from root to node as (value, length), the root's bit in the top position."""
        C, P = self.nodeChild, self.nodeParent
        value = 0
        length = 0
        q = node
        while q != root:
            par = P[q]
            k = C[par]
            if q == k:
                pass                       # bit 0: the decoder takes node k
            elif q == k - 1:
                value |= 1 << length       # bit 1: the decoder takes node k - 1
            else:
                raise AssertionError('node %d is not a child of its parent %d' % (q, par))
            length += 1
            q = par
        return value, length

    def symbolCode(self, s):
        node = self.leafNode[s]
        assert self.nodeChild[node] == ~s, 'leaf table out of step'
        return self.leafCode(node, 0)

    def distanceCode(self, p):
        nsym = (self.lastDistanceNode - 628) // 2 + 1
        if not 0 <= p < nsym:
            raise ValueError('distance symbol %d not yet in the tree (%d symbols)' % (p, nsym))
        node = self.leafNode[314 + p]
        assert self.nodeChild[node] == ~(314 + p), 'distance leaf table out of step'
        return self.leafCode(node, 628)


# ------------------------------------------------------------------ LZSS parse
MIN_MATCH = 3
MAX_MATCH = 256
MAX_BACK = 8192          # distance field 0..8191 = 1..8192 bytes back


def lz_parse(data, max_chain=48, lazy=True, max_back=MAX_BACK, max_len=MAX_MATCH):
    """Greedy parse with one-step lazy evaluation over a hash chain of 3-byte keys.

    Returns a list of tokens: an int 0..255 for a literal, or a tuple
    (length, distance) with distance = bytes back - 1. Matches never reach
    before the first byte of the data and never past its end."""
    n = len(data)
    head = {}
    prev = [-1] * n
    tokens = []

    def insert(i):
        if i + 3 <= n:
            key = data[i:i + 3]
            prev[i] = head.get(key, -1)
            head[key] = i

    def find(i):
        maxl = min(max_len, n - i)
        if maxl < MIN_MATCH:
            return 0, 0
        j = head.get(data[i:i + 3], -1)
        lim = i - max_back
        best = MIN_MATCH - 1
        bestj = -1
        chain = max_chain
        while j >= lim and j >= 0 and chain:
            if data[j + best] == data[i + best]:
                # the first 3 bytes match (equal keys); find the common length
                if data[j:j + maxl] == data[i:i + maxl]:
                    l = maxl
                else:
                    lo, hi = 3, maxl           # data equal over lo bytes, not over hi
                    while hi - lo > 1:
                        mid = (lo + hi) >> 1
                        if data[j + lo:j + mid] == data[i + lo:i + mid]:
                            lo = mid
                        else:
                            hi = mid
                    l = lo
                if l > best:
                    best = l
                    bestj = j
                    if l == maxl:
                        break
            j = prev[j]
            chain -= 1
        if bestj < 0:
            return 0, 0
        return best, i - bestj

    i = 0
    pending = None
    while i < n:
        if pending is None:
            L, B = find(i)
        else:
            L, B = pending
            pending = None
        insert(i)
        if lazy and MIN_MATCH <= L < 32 and i + 1 < n:
            L2, B2 = find(i + 1)
            if L2 > L:
                tokens.append(data[i])
                i += 1
                pending = (L2, B2)
                continue
        if L >= MIN_MATCH:
            tokens.append((L, B - 1))
            for k in range(i + 1, i + L):
                insert(k)
            i += L
        else:
            tokens.append(data[i])
            i += 1
    return tokens


def check_tokens(data, tokens):
    """Replays the tokens as the decode driver would (without the initial spaces)."""
    out = bytearray()
    for t in tokens:
        if isinstance(t, int):
            out.append(t)
        else:
            L, d = t
            frm = len(out) - d - 1
            assert 0 <= d <= 8191 and frm >= 0 and MIN_MATCH <= L <= MAX_MATCH
            for k in range(L):
                out.append(out[frm + k])
    return bytes(out) == bytes(data)


# ------------------------------------------------------------------ -lh2- encoder
def encode_lh2(model, data, tokens=None):
    """Compresses data as one -lh2- member; model is the archive-wide Lh2Model.
    Returns the compressed bytes; model.stats holds counts for the member."""
    if tokens is None:
        tokens = lz_parse(data)
    model.startLh2()
    st = model.stats
    bw = BitWriter()
    decoded = 0                            # the decoder's decodedCount
    escape = model.escapeSymbol            # 285
    for t in tokens:
        if isinstance(t, int):
            v, ln = model.symbolCode(t)
            bw.write(v, ln)
            if ln > st['max_symbol_code']:
                st['max_symbol_code'] = ln
            if ln >= 16:
                st['codes_16_plus'] += 1
            model.countSymbol(t)
            decoded += 1
            st['literals'] += 1
            continue
        length, dist = t
        s = length + 253
        sym = escape if s >= escape else s
        v, ln = model.symbolCode(sym)
        bw.write(v, ln)
        if ln > st['max_symbol_code']:
            st['max_symbol_code'] = ln
        if ln >= 16:
            st['codes_16_plus'] += 1
        model.countSymbol(sym)
        if sym == escape:
            extra = s - escape
            assert 0 <= extra <= 255
            bw.write(extra, 8)
            st['escapes'] += 1
        # readDistanceAdaptive, before the match is counted
        model.growDistances(decoded)
        p = dist >> 6
        v, ln = model.distanceCode(p)
        bw.write(v, ln)
        if ln > st['max_distance_code']:
            st['max_distance_code'] = ln
        if ln >= 16:
            st['codes_16_plus'] += 1
        model.countDistance(p)
        bw.write(dist & 63, 6)
        decoded += length
        st['matches'] += 1
        st['max_distance'] = max(st['max_distance'], dist)
        st['min_distance'] = min(st['min_distance'], dist)
        st['max_length'] = max(st['max_length'], length)
    assert decoded == len(data)
    st['bits'] = bw.bits
    return bw.finish()


# ------------------------------------------------------------------ archive
DEFAULT_TIME = 1700086400       # 2023-11-15 22:13:20 UTC


def build_archive(level, members, unix_time=DEFAULT_TIME, parse_cache=None):
    """members: list of (name_bytes, data_bytes or None for a folder entry).
    Returns (archive bytes, list of per-member info dicts)."""
    model = Lh2Model()                      # process-wide state for the whole archive
    out = bytearray()
    info = []
    for name, data in members:
        if data is None:
            if level == 0:
                raise ValueError('no folder entries at level 0')
            out += member_header('-lhd-', level, name, 0, 0, 0, unix_time)
            info.append(dict(name=name, folder=True))
            continue
        tokens = None
        if parse_cache is not None:
            key = (len(data), crc16(data), data[:64])
            ent = parse_cache.get(key)
            if ent is not None and ent[0] == data:
                tokens = ent[1]
        if tokens is None:
            tokens = lz_parse(data)
            assert check_tokens(data, tokens)
            if parse_cache is not None:
                parse_cache[(len(data), crc16(data), data[:64])] = (data, tokens)
        comp = encode_lh2(model, data, tokens)
        c = crc16(data)
        out += member_header('-lh2-', level, name, len(comp), len(data), c, unix_time)
        out += comp
        info.append(dict(name=name, folder=False, size=len(data), packed=len(comp),
                         crc=c, stats=dict(model.stats)))
    out.append(0)
    return bytes(out), info


# ------------------------------------------------------------------ command line
def main(argv):
    import argparse
    ap = argparse.ArgumentParser(description='Write an LZH archive of -lh2- members.')
    ap.add_argument('-l', '--level', type=int, default=2, choices=(0, 1, 2))
    ap.add_argument('-t', '--time', type=int, default=DEFAULT_TIME, help='Unix time of every member')
    ap.add_argument('out')
    ap.add_argument('member', nargs='+', help='NAME=FILE or NAME/ (folder entry)')
    a = ap.parse_args(argv[1:])
    members = []
    for item in a.member:
        if '=' in item:
            nm, path = item.split('=', 1)
            members.append((nm.encode('cp932'), open(path, 'rb').read()))
        elif item.endswith('/'):
            members.append((item.encode('cp932'), None))
        else:
            ap.error('bad member %r' % item)
    arc, info = build_archive(a.level, members, a.time)
    with open(a.out, 'wb') as f:
        f.write(arc)
    for m in info:
        if m['folder']:
            print('%s\t-lhd-' % m['name'].decode('cp932'))
        else:
            print('%s\t%d -> %d\tcrc=%04x\t%s' % (m['name'].decode('cp932'), m['size'], m['packed'],
                                                m['crc'], m['stats']))


if __name__ == '__main__':
    main(sys.argv)
