
Heap Default Sizes:

 RAM-Disk: 1024 KB
 Heap1   : 2048 KB
 Heap2   : 2048 KB
 LRHeap  : 512 KB


Heap Default Sizes:

 RAM-Disk: 1024 KB
 Heap1   : 2048 KB
 Heap2   : 2048 KB
 LRHeap  : 512 KB

