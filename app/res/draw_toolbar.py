import zlib, struct
W, H, N = 16, 15, 9
img = [[(0,0,0,0)]*(W*N) for _ in range(H)]
def px(i,x,y,c):
    if 0<=x<W and 0<=y<H: img[y][i*W+x]=c
def rect(i,x0,y0,x1,y1,c,fill=True):
    for y in range(y0,y1+1):
        for x in range(x0,x1+1):
            if fill or x in (x0,x1) or y in (y0,y1): px(i,x,y,c)
K=(0,0,0,255); G=(128,128,128,255); L=(192,192,192,255); Wt=(255,255,255,255)
B=(0,0,160,255); R=(200,0,0,255); Gr=(0,140,0,255); Y=(230,200,0,255); C=(0,150,200,255)
# 0 new connection: a plug with a green plus
rect(0,1,5,8,10,G); rect(0,9,6,11,6,K); rect(0,9,9,11,9,K); rect(0,0,7,0,8,K)
rect(0,12,1,12,5,Gr); rect(0,10,3,14,3,Gr)
# 1 save as: a floppy disk
rect(1,1,1,14,13,B); rect(1,4,1,11,5,Wt); rect(1,9,2,10,4,B); rect(1,4,8,11,13,L)
# 2 serial settings: a nine-pin connector
for x in range(1,15): px(2,x,4,K); px(2,x,10,K)
for y in range(4,11): px(2,1+(y-4)//3,y,K); px(2,14-(y-4)//3,y,K)
rect(2,3,5,12,9,L)
for x in (4,6,8,10,12): px(2,x,6,K)
for x in (5,7,9,11): px(2,x,8,K)
# 3 copy: two pages
rect(3,1,1,8,10,K,False); rect(3,2,2,7,9,Wt); rect(3,6,4,13,13,K,False); rect(3,7,5,12,12,Wt)
for y in (7,9,11): rect(3,8,y,11,y,G)
# 4 clear screen: a page with a red cross
rect(4,2,1,12,13,K,False); rect(4,3,2,11,12,Wt)
for d in range(9): px(4,3+d,3+d,R); px(4,4+d,3+d,R); px(4,11-d,3+d,R); px(4,12-d,3+d,R)
# 5 print: a printer with paper
rect(5,4,1,11,5,K,False); rect(5,5,2,10,5,Wt); rect(5,1,6,14,11,G); rect(5,1,6,14,11,K,False)
rect(5,4,10,11,14,Wt); rect(5,4,10,11,14,K,False); px(5,12,8,Gr)
# 6 about: a blue question mark in a circle
for y in range(H):
    for x in range(W):
        if (x-7.5)**2+(y-7)**2 <= 49: px(6,x,y,B)
for (x,y) in [(6,3),(7,3),(8,3),(9,3),(5,4),(10,4),(10,5),(9,6),(8,7),(7,8),(7,9),(7,11),(8,11),(8,8),(8,9),(7,12),(8,12)]: px(6,x,y,Wt)
# 7 receiving (click to freeze): two pause bars in green
rect(7,4,2,6,12,Gr); rect(7,9,2,11,12,Gr)
# 8 frozen (click to go on): a blue snowflake
for d in range(-6,7):
    px(8,7+d,7,C); px(8,7,7+d,C)
    if abs(d)<=5: px(8,7+d,7+d,C); px(8,7+d,7-d,C)
for (x,y) in [(6,1),(8,1),(6,13),(8,13),(1,6),(1,8),(13,6),(13,8)]: px(8,x,y,C)
raw=b''.join(b'\x00'+b''.join(struct.pack('4B',*p) for p in row) for row in img)
def chunk(t,d): return struct.pack('>I',len(d))+t+d+struct.pack('>I',zlib.crc32(t+d)&0xffffffff)
png=b'\x89PNG\r\n\x1a\n'+chunk(b'IHDR',struct.pack('>IIBBBBB',W*N,H,8,6,0,0,0))+chunk(b'IDAT',zlib.compress(raw,9))+chunk(b'IEND',b'')
open('toolbar.png','wb').write(png)
