#!/usr/bin/env python3
"""Writes the synthetic cDNA inputs of the golden cases.

    make_sequences.py CASES_DIR

The synthetic model calls a window coding when it holds no stop codon and
more than 3 Ala or Glu codons, so a coding region here is a run of codons
rich in Ala (GCN) and Glu (GAR) between an ATG and a stop, and the flanks
are random bases. Single-base insertions and deletions are planted in the
coding region; each FASTA header names them (1-based positions in the
written sequence: the inserted base, or the base after the gap). A fixed
linear congruential generator keeps the output the same everywhere; the
files are stored in the cases, so this only needs to run again to change
them.
"""
import os
import sys

BASES = "ACGT"
STOPS = {"TAA", "TAG", "TGA"}


class Lcg:
    def __init__(self, seed):
        self.state = seed

    def below(self, n):
        self.state = (self.state * 6364136223846793005 + 1442695040888963407) % (1 << 64)
        return (self.state >> 33) % n


def flank(rng, length):
    """Untranslated sequence: A and T rich, so its windows hold stop codons
    and few Ala (GCN) or Glu (GAR) codons in every frame, and without ATG,
    so that no coding path can begin in it."""
    out = ""
    while len(out) < length:
        base = "AAAAAAATTTTTTTCCCGGG"[rng.below(20)]
        if not (base == "G" and out.endswith("AT")):
            out += base
    return out


# Codon pairs of the coding regions. Beside Ala and Glu they put stop codons
# into the two other frames (GCT GAA and GCC TGA.. read TGA two bases on,
# GTA GAG and CTG AAA read TAG and TGA one base on), so that reading across
# a planted error in the wrong frame meets a stop within a few codons.
MOTIFS = ["GCTGAA", "GTAGAG", "GCAGAG", "CTGAAA", "GCTGAG", "GTAGAA"]


def coding(rng, codons):
    out = []
    while len(out) < codons:
        if rng.below(4) == 0:
            while True:
                codon = "".join(BASES[rng.below(4)] for _ in range(3))
                if codon not in STOPS and codon != "ATG":
                    break
            out.append(codon)
        else:
            motif = MOTIFS[rng.below(len(MOTIFS))]
            out += [motif[:3], motif[3:]]
    return "".join(out[:codons])


def planted(seed, lead, codons, tail, errors):
    """A flank, ATG, the coding codons, TAA and a flank; errors is a list of
    (codon number inside the coding region, 'ins' or 'del'), in order."""
    rng = Lcg(seed)
    seq = flank(rng, lead) + "ATG" + coding(rng, codons) + "TAA" + flank(rng, tail)
    notes = []
    shift = 0
    for codon, kind in errors:
        p = lead + 3 + 3 * codon + shift
        if kind == "ins":
            seq = seq[:p] + "T" + seq[p:]
            notes.append(f"ins@{p + 1}")
            shift += 1
        else:
            seq = seq[:p] + seq[p + 1:]
            notes.append(f"del@{p + 1}")
            shift -= 1
    return seq, notes


def write_fasta(path, header, seq, line_width):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", newline="\n") as out:
        out.write(">" + header + "\n")
        step = line_width or len(seq)
        for i in range(0, len(seq), step):
            out.write(seq[i:i + step] + "\n")


def main():
    cases = sys.argv[1]
    # Shorter than 600 bases (window of 96): one insertion, one deletion.
    seq, notes = planted(1, 45, 140, 110, [(50, "ins"), (100, "del")])
    write_fasta(f"{cases}/indel-short/in.fa", "indel-short " + " ".join(notes), seq, 60)
    # Longer than 599 bases (window of 196), all on one line of more than
    # 1024 characters: a deletion, then an insertion.
    seq, notes = planted(2, 250, 330, 250, [(110, "del"), (220, "ins")])
    write_fasta(f"{cases}/indel-long/in.fa", "indel-long " + " ".join(notes), seq, 0)
    # No coding region: random bases only.
    write_fasta(f"{cases}/no-coding-region/in.fa", "random bases", flank(Lcg(3), 200), 60)


if __name__ == "__main__":
    main()
