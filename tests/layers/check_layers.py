"""Each library of the core may use only the layers it links: a symbol that a
layer needs and only a layer above it defines is a call running back up."""
import subprocess
import sys


def symbols(archive, flag):
    out = subprocess.run(['nm', '-C', flag, archive], capture_output=True, text=True, check=True).stdout
    found = set()
    for line in out.splitlines():
        parts = line.strip().split(' ', 2)
        if flag == '-u' and len(parts) >= 2 and parts[0] == 'U':
            found.add(line.strip()[2:])
        elif flag == '--defined-only' and len(parts) == 3 and parts[1] in 'TDBRVW':
            found.add(parts[2])
    return found


def main(graph_file):
    # Lines "layer archive dep dep ..." written by CMake at configure time.
    layers = {}
    for line in open(graph_file):
        name, archive, *deps = line.split()
        layers[name] = (archive, deps)
    defined = {n: symbols(a, '--defined-only') for n, (a, _) in layers.items()}
    failures = []
    for name, (archive, _) in layers.items():
        below, todo = {name}, [name]
        while todo:
            for d in layers[todo.pop()][1]:
                if d not in below:
                    below.add(d)
                    todo.append(d)
        for sym in sorted(symbols(archive, '-u')):
            if any(sym in defined[b] for b in below):
                continue
            above = [n for n in layers if n not in below and sym in defined[n]]
            if above:
                failures.append(f'{name} uses {sym} from {", ".join(above)}')
    print('\n'.join(failures) or f'{len(layers)} layers, no call running back up')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1]))
